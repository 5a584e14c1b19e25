#include "tool/flow_context.h"

#include "foundation/paths.h"
#include "inspect/file_comparison.h"
#include "inspect/previews.h"
#include "look/look_reader.h"
#include "look/parsed_look.h"
#include "lut/load_failure.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "render/file_lattice.h"
#include "render/look_character.h"
#include "render/look_to_lut.h"
#include "tool/output_path.h"

#include <string>
#include <vector>

bool IsPlainLattice(const CVxLUT& lut) {
    return lut.m_is3D && lut.m_preLUT == nullptr && lut.m_size > 0 && lut.m_data != nullptr;
}

namespace {

// A relative path is taken from the working folder (drive form, ending in a
// backslash); a rooted path without a drive is on drive Z:.
CVxString AbsolutePath(const CVxString& path, const CVxString& workingFolder) {
    CVxString absolute;
    if (IsAbsolutePath(path))
        absolute = path;
    else if (path.StartsWith("/") || path.StartsWith("\\"))
        absolute = "Z:" + path;
    else
        absolute = workingFolder + path;
    absolute.SlashesToBackslashes();
    return absolute;
}

} // namespace

FlowContext::FlowContext(const RunSettings& settings, const RunEnvironment& environment,
                         FileAccess& files)
    : m_settings(settings),
      m_files(files), m_luts{files, environment.LutFolders(), environment.AlwaysUpsample()},
      m_render{environment.Shaders(), m_luts, settings.stop} {}

bool FlowContext::LoadLutFile(CVxLUT& lut, const CVxString& path) {
    return lut.Load(m_luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true);
}

bool FlowContext::LoadLutBytes(CVxLUT& lut, const CVxString& path, CVxString&& bytes) {
    return lut.LoadBytes(m_luts, path, std::move(bytes), false,
                         CVxLUT::EDimensionRequirement::eAnyDimension, true);
}

FileStatus FlowContext::ReadLutBytes(const CVxString& path, CVxString& bytes) {
    return m_files.ReadFile(path, bytes, kLargestLutFile);
}

CVxSoftwareCompositingEngine& FlowContext::Engine() {
    if (!m_engine)
        m_engine = std::make_unique<CVxSoftwareCompositingEngine>(m_render);
    return *m_engine;
}

FileReport FlowContext::ProcessFile(const CVxString& path, const CVxString* owner) {
    FileReport report;
    m_report = &report;
    m_paths = FilePaths();
    if (m_settings.reportFile.IsEmpty()) {
        ProcessInto(path, owner);
    } else {
        CVxLUT storedBefore;
        if (IsRebuildMode() && !IsLutFile(path))
            LoadLutFile(storedBefore, path);
        ProcessInto(path, owner);
        AddReportExtras(storedBefore);
    }
    m_report = nullptr;
    return report;
}

bool FlowContext::IsRebuildMode() const {
    return !m_settings.cubrelMode && !OutputFormat(m_settings);
}

void FlowContext::AddReportExtras(const CVxLUT& storedBefore) {
    const FilePaths& paths = m_paths;
    if (paths.input.IsEmpty() || m_report->DidNotConvert())
        return;
    if (m_report->Thumbnail().empty()) {
        const FileLattice lattice = LatticeOfFile(m_render, paths.input, kReportLatticeSize);
        if (lattice.rgb)
            m_report->SetThumbnail(ThumbnailPng(lattice.rgb.get(), kReportLatticeSize));
    }
    if (m_report->Outcome() == EFileOutcome::eUnchanged)
        return;
    std::optional<Comparison> compared;
    const char* what = nullptr;
    if (m_settings.exportFormat && IsLutFile(paths.exportPath)) {
        FileComparison read =
            CompareFiles(m_render, paths.input, paths.exportPath, kReportComparisonSize, {});
        compared = std::move(read.comparison);
        what = "input against its output read back";
    } else if (IsRebuildMode() && !storedBefore.IsEmpty()) {
        CVxLUT storedAfter;
        if (LoadLutFile(storedAfter, paths.lookPath))
            compared = CompareLuts(storedBefore, storedAfter, kReportComparisonSize);
        what = "stored LUT before and after";
    }
    if (compared)
        m_report->SetComparison(
            {what, compared->all.codes[kChannelsAll].max, compared->all.deltaE.max});
}

void FlowContext::ProcessInto(const CVxString& path, const CVxString* owner) {
    CVxString drive, folder, baseName, extension;
    SplitPath(path, &drive, &folder, &baseName, &extension);
    FilePaths& paths = m_paths;
    paths.input = path;
    MakePath(paths.folder, drive, folder, CVxString(), CVxString());
    MakePath(paths.displayName, CVxString(), CVxString(), baseName, extension);
    const CVxString& outFolder = m_settings.outFolder;
    const bool beside = WritesBesideInput(m_files, path, outFolder);
    paths.lookPath = OutputPathFor(beside, path, false, outFolder);
    paths.cubrelPath = OutputPathFor(beside, path, true, outFolder);
    paths.wrappedName = paths.displayName;
    if (!m_settings.cubrelMode && !beside)
        paths.wrappedName = AbsolutePath(path, m_settings.workingFolder);
    const bool isLut = extension.Compare(".lut", CVxString::ePath) == 0;
    m_input = path;
    m_outputState = PathState();
    m_report->Sayf("\n%s:\n", paths.displayName.c_str());
    const ExportFormat* written = OutputFormat(m_settings);
    if (written)
        paths.exportPath = OutputPathFor(beside, path, false, outFolder, written);
    paths.output = written                 ? paths.exportPath
                   : m_settings.cubrelMode ? paths.cubrelPath
                                           : paths.lookPath;
    if (owner) {
        m_report->Sayf("  Error: %s is also the output of %s; file was not converted\n",
                       PathForPeople(paths.output).c_str(), PathForPeople(*owner).c_str());
        m_report->Refuse(PathForPeople(paths.output) + " is also the output of " +
                         PathForPeople(*owner));
        return;
    }
    if (!MayWriteAtAll())
        return;
    // Examined before the input is read: an input rewritten in place, or a
    // file that appears at the output meanwhile, is then never lost.
    m_outputState = m_files.Examine(paths.output);
    if (MayWriteOutput(paths))
        Convert(paths, isLut || IsLutFileUnderOwnExtension(path));
}

bool FlowContext::MayWriteOutput(const FilePaths& paths) {
    // Rebuild and Cubrel mode write some inputs back to their own path; an
    // export never writes its input.
    const bool inPlace = paths.output == paths.input && !OutputFormat(m_settings);
    if (!inPlace && m_files.Identity(paths.output) == m_files.Identity(paths.input)) {
        RefuseOutput(PathForPeople(paths.output) + " is the input itself",
                     "would replace the input itself", kOutFolderHint);
        return false;
    }
    return m_outputState.kind == EPathKind::eMissing || m_settings.overwrite ||
           MayReplaceExisting(paths);
}

std::vector<CVxString> FlowContext::PlacesOfLutName(const CVxString& name,
                                                    const CVxString& packageFolder,
                                                    const CVxString& lookFolder) const {
    CVxString indexed;
    if (IsAbsolutePath(name))
        return {name};
    if (m_luts.folders.Find(name, indexed))
        return {indexed};
    return {packageFolder + name, lookFolder + name};
}

bool FlowContext::RefusesOutputTheLookReads(const FilePaths& paths, const ParsedLook& look) {
    if (paths.output == paths.input)
        return false;
    const CVxString outputName = FileNameOf(paths.output);
    const std::string outputIdentity = m_files.Identity(paths.output);
    for (const CVxShaderParamStorage* layer : LayersOf(look.grading)) {
        ShaderSource source;
        if (!layer || !m_render.shaders.FindSource(layer->Name(), source))
            source.packageFolder.Empty();
        for (uint32_t index = 0; layer && index < layer->ParamCount(); ++index) {
            const CVxShaderParam* param = layer->GetParam(index);
            const CVxString name = param->IsDouble ? CVxString() : param->FileText();
            if (!FileNameOf(name).EqualsNoCase(outputName.c_str()))
                continue;
            for (const CVxString& place : PlacesOfLutName(name, source.packageFolder, paths.folder))
                if (m_files.Identity(place) == outputIdentity) {
                    const std::string output = PathForPeople(paths.output);
                    RefuseOutput(output + " is read by " + paths.displayName.c_str(),
                                 "would replace " + output + ", which the look reads",
                                 kOutFolderHint);
                    return true;
                }
        }
    }
    return false;
}

void FlowContext::RefuseOutput(const std::string& sentence, const std::string& cause,
                               const char* hint) {
    m_report->Sayf("  Error: %s; file was not converted (%s)\n", sentence.c_str(), hint);
    m_report->Refuse(cause + " (" + hint + ")");
}

void FlowContext::RefuseToConvert(const std::string& line, const std::string& cause) {
    m_report->Say("  " + line + "\n");
    m_report->Refuse(cause);
}

bool FlowContext::OutputCarriesOurMark(const ExportFormat& format, const CVxString& output) {
    char head[kMarkWindow];
    size_t length = sizeof head;
    if (!m_files.ReadHead(output, head, length)) {
        // A file shorter than the mark's window is read whole.
        CVxString whole;
        if (!m_files.ReadFile(output, whole, sizeof head))
            whole.Empty();
        length = whole.Length();
        std::memcpy(head, whole.c_str(), length);
    }
    return CarriesOurMark(format, std::string_view(head, length));
}

void FlowContext::RefuseToReplace(const CVxString& output, const std::string& what) {
    const std::string path = PathForPeople(output);
    RefuseOutput(path + " exists and is not " + what,
                 "would replace " + path + ", which is not " + what, kOverwriteHint);
}

void FlowContext::NoteCorrections(const OcioFileTransform& transform, const FilePaths& paths) {
    if (transform.CorrectionCount() < 2)
        return;
    const std::string& id = transform.CorrectionId();
    m_report->Sayf("  Notice: %s holds %u corrections; the first%s%s%s is converted\n",
                   paths.displayName.c_str(), transform.CorrectionCount(), id.empty() ? "" : " (",
                   id.c_str(), id.empty() ? "" : ")");
}

std::unique_ptr<ParsedLook> FlowContext::ReadLookFile(const FilePaths& paths) {
    CVxString text;
    if (const FileStatus read = ReadTextFile(m_files, paths.input, text); !read) {
        m_report->SetCause(read.cause);
        m_report->Say("  Error reading file\n");
        return nullptr;
    }
    return ParseLook(paths, text);
}

std::unique_ptr<ParsedLook> FlowContext::ParseLook(const FilePaths& paths, const CVxString& text) {
    std::unique_ptr<ParsedLook> look = ReadLook(text);
    if (!look) {
        m_report->SetCause(WhyNotALook(text));
        m_report->Say("  Not a valid .look file\n");
        return nullptr;
    }
    if (RefusesOutputTheLookReads(paths, *look))
        return nullptr;
    return look;
}

bool FlowContext::RefusedWithoutOcio() {
    const std::string reason = OcioUnavailableReason();
    if (reason.empty())
        return false;
    m_report->Sayf("  Not converted: %s\n", reason.c_str());
    m_report->SetCause(reason);
    return true;
}

std::unique_ptr<FileOutput> FlowContext::ReplaceOutput(const CVxString& output) {
    return m_files.Replace(output, &m_outputState);
}

void FlowContext::ReportWriteFailure(const FileOutput& file, const CVxString& output) {
    if (!file.TargetChanged()) {
        m_report->SetCause(WriteFailure(file, output));
        m_report->Say("  Error writing file\n");
        return;
    }
    const std::string path = PathForPeople(output);
    const char* change = m_outputState.kind == EPathKind::eMissing ? " appeared" : " changed";
    RefuseOutput(path + change + " while the file was converted",
                 path + change + " while the file was converted", kOutFolderHint);
}

std::string FlowContext::LoadFailure(const CVxString& path, const FileStatus& read, bool empty) {
    if (!read)
        return read.cause;
    if (empty)
        return "empty file";
    return WhyReadFileIsNotALut(m_files, path);
}

std::vector<std::string> FlowContext::RenderCauses(ERenderFailure failure, const ParsedLook& look,
                                                   const FilePaths& paths) {
    return RenderFailureCauses(failure, look.grading, m_render.shaders, m_luts, paths.folder);
}

std::string FlowContext::RenderCause(ERenderFailure failure, const ParsedLook& look,
                                     const FilePaths& paths) {
    std::string joined;
    for (const std::string& cause : RenderCauses(failure, look, paths))
        joined += (joined.empty() ? "" : "; ") + cause;
    return joined;
}

void FlowContext::ReportRenderFailure(ERenderFailure failure) {
    const char* cause = RenderFailureCause(failure);
    if (failure == ERenderFailure::eShaderMissing || failure == ERenderFailure::eLutMissing)
        m_report->Sayf("  Error while rendering LUT:\n    %s\n", cause);
    else
        m_report->Sayf("  %s\n", cause);
}

bool FlowContext::FallBackToStoredLut(ERenderFailure failure, const ParsedLook& look,
                                      const FilePaths& paths) {
    std::vector<std::string> causes = RenderCauses(failure, look, paths);
    m_report->SetCause(RenderCause(failure, look, paths));
    if (failure != ERenderFailure::eStopped)
        m_report->FallBackToStoredLut(std::move(causes));
    ReportRenderFailure(failure);
    return failure != ERenderFailure::eStopped;
}

std::string FlowContext::WriteFailure(const FileOutput& file, const CVxString& path) {
    const std::string cause = file.FailureText();
    return "cannot write " + PathForPeople(path) + (cause.empty() ? "" : ": " + cause);
}

std::string FlowContext::WhatIsWritten(const CVxString& output, const char* kind) {
    if (output == m_input)
        return std::string(kind) + " rewritten in place";
    if (m_outputState.kind == EPathKind::eMissing)
        return std::string("new ") + kind;
    return std::string(kind) + " replaced";
}
