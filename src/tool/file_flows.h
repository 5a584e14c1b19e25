#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "render/compositing_engine.h"
#include "render/look_to_lut.h"
#include "tool/file_report.h"
#include "tool/run_environment.h"
#include "tool/run_settings.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ByteSink;
class CVxLUT;
struct LutToWrite;
class OcioFileTransform;
struct ParsedLook;

// Converts one input file at a time into its block of messages, reaching
// every file through the given file access.
class FileFlows {
public:
    FileFlows(const RunSettings& settings, const RunEnvironment& environment, FileAccess& files);

    // `owner`: another input of the run that writes this one's output (see
    // OutputOwners); this one is then refused without being read.
    FileReport ProcessFile(const CVxString& path, const CVxString* owner = nullptr);

private:
    struct FilePaths {
        CVxString input;
        // Drive and folder of the input, where LUTs that its look names are looked for last.
        CVxString folder;
        CVxString displayName;
        // How a look written for a LUT file names it: by name beside it, by
        // absolute path in another folder, so that it is found from anywhere.
        CVxString wrappedName;
        CVxString lookPath;
        CVxString cubrelPath;
        // What -to writes, when it names a format other than cubrel.
        CVxString exportPath;
        // The one file the run writes for this input: one of the three above.
        CVxString output;
    };

    void ProcessInto(const CVxString& path, const CVxString* owner);
    // The rules of every mode for the output's path, as it was examined before
    // the input was read: never the input itself under another name, and an
    // existing file only where the mode may replace it. False, having said why,
    // when the output may not be written.
    bool MayWriteOutput(const FilePaths& paths);
    // A LUT file under another extension writes a name that we chose: only over
    // nothing, a Cubrel LUT (Cubrel mode) or a look made for the same file
    // (rebuild mode). False, having said why, when the file there is another.
    bool MayReplaceChosenOutput(const FilePaths& paths);
    // A look never writes over a LUT file it reads: true, having said so, when
    // a name in any of its layers would reach the output in any place where
    // the render looks for it. A look rebuilt in place is its own output.
    bool RefusesOutputTheLookReads(const FilePaths& paths, const ParsedLook& look);
    // Every place where the render may find a LUT that a layer names, whether
    // or not a file is there now (see LutFolderIndex::Resolve).
    std::vector<CVxString> PlacesOfLutName(const CVxString& name, const CVxString& packageFolder,
                                           const CVxString& lookFolder) const;
    // Says in the block why the output stays as it is: "Error: SENTENCE; file
    // was not converted (HINT)", with the cause for standard error.
    void RefuseOutput(const std::string& sentence, const std::string& cause, const char* hint);
    // Says that `output` exists and is not `what` ("a Cubrel LUT"), so it stays.
    void RefuseToReplace(const CVxString& output, const std::string& what);
    // Says why a write failed: the output's path no longer held what was
    // examined (a file appeared or changed there, and stays), or the write
    // itself failed ("Error writing file").
    void ReportWriteFailure(const FileOutput& file, const CVxString& output);
    void ConvertLutDirectly(const FilePaths& paths);
    // Applies an OpenColorIO file at the Cubrel nodes; false, having said
    // nothing, when the file cannot be read that way.
    bool ConvertThroughOcio(const FilePaths& paths);
    // Says that only the first correction of a CDL collection is converted.
    void NoteCorrections(const OcioFileTransform& transform, const FilePaths& paths);
    void WrapLutAsLook(const FilePaths& paths);
    void ReadLookFile(const FilePaths& paths);
    void HandleLook(const FilePaths& paths, const CVxString& text);
    void RebuildLook(const FilePaths& paths, ParsedLook& look);
    void RenderLookToCubrel(const FilePaths& paths, ParsedLook& look);
    void ConvertStoredLut(const FilePaths& paths);
    // Writes the lattice as a Cubrel file at the run's size, resampling it first when
    // allowed; the messages are the calling flow's own.
    void WriteAtRunSize(CVxLUT& lut, const char* refusedMessage, const char* resamplingMessage,
                        const CVxString& path);
    // Resamples the lattice to the run's size where it has another, saying
    // so, or refuses to under -noresampling; false when it did not reach it.
    bool FitToRunSize(CVxLUT& lut, const char* refusedMessage, const char* resamplingMessage);
    // Resamples to the run's size; false when the lattice did not reach it.
    bool ResampleToRunSize(CVxLUT& lut);
    void WriteCubrel(const float* lattice, uint32_t channels, const CVxString& path);
    bool LoadLutFile(CVxLUT& lut, const CVxString& path);

    // -to FORMAT (export_flow.cpp): the transform that Cubrel mode renders,
    // in the format's own file.
    void ExportFile(const FilePaths& paths, bool isLutFile);
    // False, having said so, when this build cannot write the format.
    bool MayWriteExportFormat();
    // An existing file at the output is replaced only when it is of the format
    // and carries the mark of this program; false, having said why, otherwise.
    bool MayReplaceExport(const FilePaths& paths);
    // A look, or a LUT file wrapped as one: ExportCdl for an ASC CDL, else ExportLattices.
    void ExportLook(const FilePaths& paths, ParsedLook& look);
    void ExportRendered(const FilePaths& paths, ParsedLook& look);
    // The look acts on each channel alone: its grading does, and so does
    // every LUT file that it names (the looks made around a 1D LUT file).
    bool ActsOnEachChannel(const ParsedLook& look, const FilePaths& paths);
    void ExportOneDimensionalLut(const FilePaths& paths, const CVxLUT& lut);
    // The LUT at the nodes of a lattice of the run's size over [low, high].
    void ExportEvaluated(const FilePaths& paths, const CVxLUT& lut, float low, float high);
    // A lattice over another input range than 0 to 1, or behind a shaper, in
    // a format that keeps the range; false when it is not such a case.
    bool ExportWithInputRange(const FilePaths& paths, CVxLUT& lut);
    void ExportStoredLut(const FilePaths& paths);
    void ExportCdl(const FilePaths& paths, ParsedLook& look);
    void ExportLutFile(const FilePaths& paths);
    // Applies an OpenColorIO file at the nodes; false, having said nothing,
    // when the file cannot be read that way.
    bool ExportThroughOcio(const FilePaths& paths);
    void ExportLattice(const FilePaths& paths, const float* nodes, uint32_t channels,
                       uint32_t size);
    void ExportTransform(const FilePaths& paths, const LutToWrite& lut);
    void WriteExport(const FilePaths& paths, const std::function<bool(ByteSink&)>& write);
    CVxSoftwareCompositingEngine& Engine();

    // Causes, for standard error. A read that failed with `error` (an errno
    // value or 0); `otherwise` when the file is there, has bytes and no error
    // was given.
    std::string ReadFailure(const CVxString& path, int error, const char* otherwise);
    std::string LoadFailure(const CVxString& path);
    std::string LookFailure(const CVxString& text);
    // The engine's last failure, as RenderLattice tells it.
    ERenderFailure EngineFailure();
    // Names the shaders or LUT files of the look that are not there: the LUT
    // files not found and those that do not load, each kind in a cause of its own.
    std::vector<std::string> RenderCauses(ERenderFailure failure, const ParsedLook& look,
                                          const FilePaths& paths);
    // The causes, joined by "; ".
    std::string RenderCause(ERenderFailure failure, const ParsedLook& look, const FilePaths& paths);
    // Says why the look did not render, for the conversion of its stored LUT that follows.
    void FallBackToStoredLut(ERenderFailure failure, const ParsedLook& look,
                             const FilePaths& paths);
    std::string WriteFailure(const FileOutput& file, const CVxString& path);
    // What writing the output is ("new look", "Cubrel LUT replaced"), told before the write.
    std::string WhatIsWritten(const CVxString& output, const char* kind);
    // Begins replacing the output, taking its path only while it holds what was examined.
    std::unique_ptr<FileOutput> ReplaceOutput(const CVxString& output);

    const RunSettings& m_settings;
    FileAccess& m_files;
    LutFiles m_luts;
    RenderEnvironment m_render;
    // One engine renders every look of the run; made at the first render.
    std::unique_ptr<CVxSoftwareCompositingEngine> m_engine;
    // The block of the file being processed, and its input.
    FileReport* m_report = nullptr;
    CVxString m_input;
    // The output's path as it was before anything of the input was read.
    PathState m_outputState;
};
