#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "render/compositing_engine.h"
#include "render/look_to_lut.h"
#include "render/render_environment.h"
#include "tool/file_report.h"
#include "tool/run_environment.h"
#include "tool/run_settings.h"

#include <memory>
#include <string>
#include <vector>

class CVxLUT;
class OcioFileTransform;
struct ParsedLook;

// What a refusal of an output tells people they can do instead.
inline constexpr const char* kOutFolderHint = "-out DIR writes elsewhere";
inline constexpr const char* kOverwriteHint = "-out DIR writes elsewhere; -overwrite replaces it";

// The lattice that a report's pictures of transforms are made with, and the
// one its comparisons are made at.
inline constexpr uint32_t kReportLatticeSize = 33;
inline constexpr uint32_t kReportComparisonSize = 17;

// A 3D table without a pre-LUT that holds entries.
bool IsPlainLattice(const CVxLUT& lut);

// The paths of one input and of what it may write.
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
    // What -to or -preview writes: NAME.EXT, NAME.preview.png.
    CVxString exportPath;
    // The one file the run writes for this input: one of the three above.
    CVxString output;
};

// Converts one input file at a time into its block of messages and its
// outcome, reaching every file through the given file access. What every mode
// shares is here: the paths of an input, the rules for its output, reading
// its look, the causes of failures and the writing of the output; each mode
// is a flow derived from it (ConversionFlows for rebuild and Cubrel mode,
// ExportFlow for -to), made by MakeFileFlow.
class FlowContext {
public:
    FlowContext(const RunSettings& settings, const RunEnvironment& environment, FileAccess& files);
    virtual ~FlowContext() = default;
    FlowContext(const FlowContext&) = delete;
    FlowContext& operator=(const FlowContext&) = delete;

    // `owner`: another input of the run that writes this one's output (see
    // PlanOutputs); this one is then refused without being read.
    FileReport ProcessFile(const CVxString& path, const CVxString* owner = nullptr);

protected:
    // The mode's own work on an input whose output may be written.
    virtual void Convert(const FilePaths& paths, bool isLutFile) = 0;
    // An output of the mode exists (and is not the input rewritten in place):
    // false, having said why, when it may not be replaced.
    virtual bool MayReplaceExisting(const FilePaths& paths) = 0;
    // False, having said why, when the mode cannot write at all for this run.
    virtual bool MayWriteAtAll() { return true; }

    // Reads and parses the input's look, or says why not; null then. A look
    // whose output is a LUT file it reads is refused.
    std::unique_ptr<ParsedLook> ReadLookFile(const FilePaths& paths);
    std::unique_ptr<ParsedLook> ParseLook(const FilePaths& paths, const CVxString& text);

    // Whether the file at `output` is of the format and carries this program's mark.
    bool OutputCarriesOurMark(const ExportFormat& format, const CVxString& output);
    // Says in the block why the output stays as it is: "Error: SENTENCE; file
    // was not converted (HINT)", with the cause for standard error.
    void RefuseOutput(const std::string& sentence, const std::string& cause, const char* hint);
    // Says that `output` exists and is not `what` ("a Cubrel LUT"), so it stays.
    void RefuseToReplace(const CVxString& output, const std::string& what);
    // Says, as a refusal, that the file cannot be written in the mode ("Not
    // expressible as an ASC CDL: ...", "Not converted: ...").
    void RefuseToConvert(const std::string& line, const std::string& cause);

    bool LoadLutFile(CVxLUT& lut, const CVxString& path);
    // Loads a LUT file from its bytes, read with ReadLutBytes, without reading it again.
    bool LoadLutBytes(CVxLUT& lut, const CVxString& path, CVxString&& bytes);
    // Reads a LUT file whole for LoadLutBytes; fails with EFBIG for a file
    // too large for any LUT reader.
    FileStatus ReadLutBytes(const CVxString& path, CVxString& bytes);
    CVxSoftwareCompositingEngine& Engine();
    // Says that only the first correction of a CDL collection is converted.
    void NoteCorrections(const OcioFileTransform& transform, const FilePaths& paths);
    // True, having said why, when a format of OpenColorIO's is needed and
    // OpenColorIO cannot be loaded.
    bool RefusedWithoutOcio();

    // Why a LUT file did not load, for standard error: why its read failed,
    // that it was empty, or why no reader took it.
    std::string LoadFailure(const CVxString& path, const FileStatus& read, bool empty);
    // Names the shaders or LUT files of the look that are not there: the LUT
    // files not found and those that do not load, each kind in a cause of its own.
    std::vector<std::string> RenderCauses(ERenderFailure failure, const ParsedLook& look,
                                          const FilePaths& paths);
    // The causes, joined by "; ".
    std::string RenderCause(ERenderFailure failure, const ParsedLook& look, const FilePaths& paths);
    // Says why a look did not render: a missing shader or LUT under a
    // heading, anything else as an internal error.
    void ReportRenderFailure(ERenderFailure failure);
    // Says why the look did not render, for the conversion of its stored LUT
    // that follows; false, having said it as the file's failure, when the
    // render was stopped: the run is ending, and no stored LUT stands in.
    bool FallBackToStoredLut(ERenderFailure failure, const ParsedLook& look,
                             const FilePaths& paths);

    // What writing the output is ("new look", "Cubrel LUT replaced"), told before the write.
    std::string WhatIsWritten(const CVxString& output, const char* kind);
    // Begins replacing the output, taking its path only while it holds what was examined.
    std::unique_ptr<FileOutput> ReplaceOutput(const CVxString& output);
    // Says why a write failed: the output's path no longer held what was
    // examined (a file appeared or changed there, and stays), or the write
    // itself failed ("Error writing file").
    void ReportWriteFailure(const FileOutput& file, const CVxString& output);

    const RunSettings& m_settings;
    FileAccess& m_files;
    LutFiles m_luts;
    RenderEnvironment m_render;
    // The block of the file being processed, and its input.
    FileReport* m_report = nullptr;
    CVxString m_input;
    // The output's path as it was before anything of the input was read.
    PathState m_outputState;

private:
    void ProcessInto(const CVxString& path, const CVxString* owner);
    // Neither Cubrel mode nor a written format: looks are rebuilt.
    bool IsRebuildMode() const;
    // For -report: the picture of the file's transform, and for -to the input
    // against its output read back, for rebuild mode the stored LUT before
    // (`storedBefore`) and after.
    void AddReportExtras(const CVxLUT& storedBefore);
    // The rules of every mode for the output's path, as it was examined before
    // the input was read: never the input itself under another name, and an
    // existing file only where the mode may replace it. False, having said why,
    // when the output may not be written.
    bool MayWriteOutput(const FilePaths& paths);
    // A look never writes over a LUT file it reads: true, having said so, when
    // a name in any of its layers would reach the output in any place where
    // the render looks for it. A look rebuilt in place is its own output.
    bool RefusesOutputTheLookReads(const FilePaths& paths, const ParsedLook& look);
    // Every place where the render may find a LUT that a layer names, whether
    // or not a file is there now (see LutFolderIndex::Resolve).
    std::vector<CVxString> PlacesOfLutName(const CVxString& name, const CVxString& packageFolder,
                                           const CVxString& lookFolder) const;
    std::string WriteFailure(const FileOutput& file, const CVxString& path);

    // The paths of the file being processed.
    FilePaths m_paths;
    // One engine renders every look of the run; made at the first render.
    std::unique_ptr<CVxSoftwareCompositingEngine> m_engine;
};
