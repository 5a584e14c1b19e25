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
    };

    void ProcessInto(const CVxString& path, const CVxString* owner);
    // A LUT file under another extension writes a name that we chose: only over
    // nothing, a Cubrel LUT (Cubrel mode) or a look made for the same file
    // (rebuild mode). False, having said why, when the file there is another.
    bool MayReplaceChosenOutput(const FilePaths& paths);
    // Says that `output` exists and is not `what` ("a Cubrel LUT"), so it stays.
    void RefuseToReplace(const CVxString& output, const std::string& what);
    void ConvertLutDirectly(const FilePaths& paths);
    // Applies an OpenColorIO file at the Cubrel nodes; false, having said
    // nothing, when the file cannot be read that way.
    bool ConvertThroughOcio(const FilePaths& paths);
    // True, having said why, when a format of OpenColorIO's is needed and
    // OpenColorIO cannot be loaded.
    bool RefusedWithoutOcio();
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
    // A look, or a LUT file wrapped as one: ExportCdl for an ASC CDL, else ExportLattices.
    // False, having said why, when the output may not be written.
    bool MayWriteExport(const FilePaths& paths);
    void ExportLook(const FilePaths& paths, ParsedLook& look);
    void ExportRendered(const FilePaths& paths, ParsedLook& look);
    void ExportOneDimensionalLut(const FilePaths& paths, const CVxLUT& lut);
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
    // Names the shaders or LUT files of the look that are not there.
    std::string RenderCause(ERenderFailure failure, const ParsedLook& look, const FilePaths& paths);
    std::string WriteFailure(const FileOutput& file, const CVxString& path);
    // What writing `output` is ("new look", "Cubrel LUT replaced"), told before the write.
    std::string WhatIsWritten(const CVxString& output, const char* kind);

    const RunSettings& m_settings;
    FileAccess& m_files;
    LutFiles m_luts;
    RenderEnvironment m_render;
    // One engine renders every look of the run; made at the first render.
    std::unique_ptr<CVxSoftwareCompositingEngine> m_engine;
    // The block of the file being processed, and its input.
    FileReport* m_report = nullptr;
    CVxString m_input;
};
