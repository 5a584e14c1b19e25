#include "tool/file_flows.h"

#include "foundation/paths.h"
#include "look/look_reader.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "lut/cubrel_writer.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_formats.h"
#include "lut/ocio_reader.h"
#include "render/look_to_lut.h"
#include "render/rebuilt_look.h"
#include "tool/file_lattice.h"
#include "tool/flow_support.h"
#include "tool/output_path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRamp1DSize = 256;

} // namespace

bool IsPlainLattice(const CVxLUT& lut) {
    return lut.m_is3D && lut.m_preLUT == nullptr && lut.m_size > 0 && lut.m_data != nullptr;
}

// A missing shader or LUT is named under a heading; anything else is an internal error.
void ReportRenderFailure(FileReport& report, ERenderFailure failure) {
    const char* cause = RenderFailureCause(failure);
    if (failure == ERenderFailure::eShaderMissing || failure == ERenderFailure::eLutMissing)
        report.Sayf("  Error while rendering LUT:\n    %s\n", cause);
    else
        report.Sayf("  %s\n", cause);
}

namespace {

bool SameLayer(const CVxShaderParamStorage& a, const CVxShaderParamStorage& b) {
    if (a.Name() != b.Name() || a.Visible() != b.Visible() || a.Opacity() != b.Opacity() ||
        a.ParamCount() != b.ParamCount())
        return false;
    for (uint32_t index = 0; index < a.ParamCount(); ++index)
        if (a.GetParam(index)->Dump() != b.GetParam(index)->Dump())
            return false;
    return true;
}

// True when the look's grading is the one a look made for the LUT file holds:
// one base layer naming the file and nothing else, whatever LUT it stores.
bool IsLookMadeFor(const CVxString& text, const CVxString& wrappedName) {
    const std::unique_ptr<ParsedLook> existing = ReadLook(text);
    CVxString wrapText;
    WriteLutWrapperLook(wrapText, wrappedName);
    const std::unique_ptr<ParsedLook> wrap = ReadLook(wrapText);
    if (!existing || !wrap || existing->mask)
        return false;
    const CVxGradingParamStorage& have = existing->grading;
    const CVxGradingParamStorage& want = wrap->grading;
    if (have.LayerCount() != want.LayerCount() || !have.HasBase() ||
        have.BaseSublayerCount() != want.BaseSublayerCount())
        return false;
    for (uint32_t k = 0; k < want.BaseSublayerCount(); ++k)
        if (!SameLayer(*have.BaseSublayer(k), *want.BaseSublayer(k)))
            return false;
    return true;
}

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

// Adds a name to a list of names for a cause, once.
void AppendName(std::string& names, const char* name) {
    const std::string quoted = name;
    if (names == quoted || names.starts_with(quoted + ", ") || names.ends_with(", " + quoted) ||
        names.find(", " + quoted + ", ") != std::string::npos)
        return;
    names += names.empty() ? quoted : ", " + quoted;
}

} // namespace

FileFlows::FileFlows(const RunSettings& settings, const RunEnvironment& environment,
                     FileAccess& files)
    : m_settings(settings),
      m_files(files), m_luts{files, environment.LutFolders(), environment.AlwaysUpsample()},
      m_render{environment.Shaders(), m_luts} {}

bool FileFlows::LoadLutFile(CVxLUT& lut, const CVxString& path) {
    return lut.Load(m_luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true);
}

CVxSoftwareCompositingEngine& FileFlows::Engine() {
    if (!m_engine)
        m_engine = std::make_unique<CVxSoftwareCompositingEngine>(m_render);
    return *m_engine;
}

FileReport FileFlows::ProcessFile(const CVxString& path, const CVxString* owner) {
    FileReport report;
    m_report = &report;
    ProcessInto(path, owner);
    m_report = nullptr;
    return report;
}

void FileFlows::ProcessInto(const CVxString& path, const CVxString* owner) {
    CVxString drive, folder, baseName, extension;
    SplitPath(path, &drive, &folder, &baseName, &extension);
    FilePaths paths;
    paths.input = path;
    MakePath(paths.folder, drive, folder, CVxString(), CVxString());
    MakePath(paths.displayName, CVxString(), CVxString(), baseName, extension);
    const CVxString& outFolder = m_settings.outFolder;
    paths.lookPath = OutputPathFor(m_files, path, false, outFolder);
    paths.cubrelPath = OutputPathFor(m_files, path, true, outFolder);
    paths.wrappedName = paths.displayName;
    if (!m_settings.cubrelMode && !WritesBesideInput(m_files, path, outFolder))
        paths.wrappedName = AbsolutePath(path, m_settings.workingFolder);
    const bool isLut = extension.Compare(".lut", CVxString::ePath) == 0;
    m_input = path;
    m_report->Sayf("\n%s:\n", paths.displayName.c_str());
    if (m_settings.exportFormat)
        paths.exportPath = OutputPathFor(m_files, path, false, outFolder, m_settings.exportFormat);
    if (owner) {
        const CVxString& output = m_settings.exportFormat ? paths.exportPath
                                  : m_settings.cubrelMode ? paths.cubrelPath
                                                          : paths.lookPath;
        m_report->Sayf("  Error: %s is also the output of %s; file was not converted\n",
                       PathForPeople(output).c_str(), PathForPeople(*owner).c_str());
        m_report->SetCause(PathForPeople(output) + " is also the output of " +
                           PathForPeople(*owner));
        return;
    }
    if (m_settings.exportFormat) {
        ExportFile(paths, isLut || IsLutFileUnderOwnExtension(path));
        return;
    }

    if (!isLut && !IsLutFileUnderOwnExtension(path)) {
        ReadLookFile(paths);
        return;
    }
    if (!isLut && !MayReplaceChosenOutput(paths))
        return;
    if (m_settings.cubrelMode)
        ConvertLutDirectly(paths);
    else
        WrapLutAsLook(paths);
}

bool FileFlows::MayReplaceChosenOutput(const FilePaths& paths) {
    const CVxString& output = m_settings.cubrelMode ? paths.cubrelPath : paths.lookPath;
    if (m_files.Lookup(output) == EPathKind::eMissing)
        return true;
    if (m_settings.cubrelMode) {
        uint8_t magic[4];
        if (m_files.ReadHead(output, magic, sizeof magic) && HasCubrelMagic(magic, sizeof magic))
            return true;
        RefuseToReplace(output, "a Cubrel LUT");
        return false;
    }
    CVxString text;
    if (ReadTextFile(m_files, output, text) && IsLookMadeFor(text, paths.wrappedName))
        return true;
    RefuseToReplace(output, "a look made for this file");
    return false;
}

void FileFlows::RefuseToReplace(const CVxString& output, const std::string& what) {
    const std::string path = PathForPeople(output);
    m_report->Sayf("  Error: %s exists and is not %s; file was not converted (-out DIR writes "
                   "elsewhere)\n",
                   path.c_str(), what.c_str());
    m_report->SetCause("would replace " + path + ", which is not " + what +
                       " (-out DIR writes elsewhere)");
}

void FileFlows::ConvertLutDirectly(const FilePaths& paths) {
    uint8_t magic[4];
    errno = 0;
    if (!m_files.ReadHead(paths.input, magic, sizeof magic)) {
        m_report->SetCause(ReadFailure(paths.input, errno, "shorter than 4 bytes"));
        m_report->Say("  Error reading file\n");
        return;
    }
    if (HasCubrelMagic(magic, sizeof magic)) {
        m_report->SetUnchanged("already a Cubrel LUT");
        m_report->Say("  File seems to be a Cubrel LUT, no conversion performed\n");
        return;
    }
    if (IsOcioLutFile(paths.input) && RefusedWithoutOcio())
        return;
    // A file that OpenColorIO cannot read goes on as any unloadable LUT does.
    if (IsOcioLutFile(paths.input) && ConvertThroughOcio(paths))
        return;
    CVxLUT lut;
    if (!LoadLutFile(lut, paths.input)) {
        m_report->SetCause(LoadFailure(paths.input));
        m_report->Say("  Error loading LUT\n");
    }
    // A lattice over another domain than [0, 1] is rendered, as a pre-LUT is.
    if (!IsUnitLattice(lut)) {
        WrapLutAsLook(paths);
        return;
    }
    WriteAtRunSize(lut,
                   "  Source LUT has a different size and resampling is disabled.\n"
                   "  The LUT was not converted.\n",
                   "  Resampling LUT...\n", paths.cubrelPath);
}

bool FileFlows::RefusedWithoutOcio() {
    const std::string reason = OcioUnavailableReason();
    if (reason.empty())
        return false;
    m_report->Sayf("  Not converted: %s\n", reason.c_str());
    m_report->SetCause(reason);
    return true;
}

bool FileFlows::ConvertThroughOcio(const FilePaths& paths) {
    OcioFileTransform transform;
    const uint64_t n = m_settings.size;
    std::unique_ptr<float[]> nodes(new (std::nothrow) float[n * n * n * 3]);
    if (!nodes || !transform.Open(m_files, paths.input) ||
        !transform.ApplyToLattice(m_settings.size, nodes.get()))
        return false;
    NoteCorrections(transform, paths);
    WriteCubrel(nodes.get(), 3, paths.cubrelPath);
    return true;
}

void FileFlows::NoteCorrections(const OcioFileTransform& transform, const FilePaths& paths) {
    if (transform.CorrectionCount() < 2)
        return;
    const std::string& id = transform.CorrectionId();
    m_report->Sayf("  Notice: %s holds %u corrections; the first%s%s%s is converted\n",
                   paths.displayName.c_str(), transform.CorrectionCount(), id.empty() ? "" : " (",
                   id.c_str(), id.empty() ? "" : ")");
}

void FileFlows::WrapLutAsLook(const FilePaths& paths) {
    // Only a file that lists corrections can need the notice. The render then
    // reads it through Load, which OpenColorIO serves from what it parsed here.
    const bool rebuildMode = !m_settings.cubrelMode && !m_settings.exportFormat;
    if (rebuildMode && ListsCorrections(paths.input)) {
        OcioFileTransform transform;
        if (transform.Open(m_files, paths.input))
            NoteCorrections(transform, paths);
    }
    CVxString text;
    WriteLutWrapperLook(text, paths.wrappedName);
    if (rebuildMode && FileOrMatchExists(m_files, paths.lookPath))
        m_report->Say("  Warning: conversion will overwrite an existing look file\n");
    HandleLook(paths, text);
}

void FileFlows::ReadLookFile(const FilePaths& paths) {
    CVxString text;
    errno = 0;
    if (!ReadTextFile(m_files, paths.input, text)) {
        m_report->SetCause(ReadFailure(paths.input, errno, "cannot be read"));
        m_report->Say("  Error reading file\n");
        return;
    }
    HandleLook(paths, text);
}

void FileFlows::HandleLook(const FilePaths& paths, const CVxString& text) {
    std::unique_ptr<ParsedLook> look = ReadLook(text);
    if (!look) {
        m_report->SetCause(LookFailure(text));
        m_report->Say("  Not a valid .look file\n");
        return;
    }
    if (m_settings.exportFormat)
        ExportLook(paths, *look);
    else if (m_settings.cubrelMode)
        RenderLookToCubrel(paths, *look);
    else
        RebuildLook(paths, *look);
}

void FileFlows::RebuildLook(const FilePaths& paths, ParsedLook& look) {
    if (look.storedSize == m_settings.size) {
        m_report->SetUnchanged("its LUT has the size already");
        m_report->Sayf("  LUT size is already %d, file was not modified\n",
                       static_cast<int>(m_settings.size));
        return;
    }
    // Streamed into a file beside the look, which is opened once the LUTs are
    // rendered and renamed over the look only when whole: a failed render or
    // write keeps the old look.
    std::string what = WhatIsWritten(paths.lookPath, "look");
    const std::unique_ptr<FileOutput> file = m_files.Replace(paths.lookPath);
    const ERebuildResult result = WriteRebuiltLook(Engine(), look.grading, *file, look.mask.get(),
                                                   m_settings.size, kRamp1DSize, paths.folder);
    if (result == ERebuildResult::eRenderFailed) {
        m_report->SetCause(RenderCause(EngineFailure(), look, paths));
        m_report->Say("  Error rendering new look LUT, file was not modified\n");
        return;
    }
    if (result == ERebuildResult::eWriteFailed || !file->Commit()) {
        m_report->SetCause(WriteFailure(*file, paths.lookPath));
        m_report->Say("  Error writing file\n");
        return;
    }
    m_report->SetWritten(PathForPeople(paths.lookPath), std::move(what));
    m_report->Say("  LUT updated successfully\n");
}

void FileFlows::RenderLookToCubrel(const FilePaths& paths, ParsedLook& look) {
    const RenderedLattice lattice =
        RenderLattice(Engine(), look.grading,
                      LatticeRequest{.size = m_settings.size, .lookFolder = paths.folder});
    if (lattice.nodes) {
        WriteCubrel(lattice.nodes.get(), 3, paths.cubrelPath);
        return;
    }
    m_report->SetCause(RenderCause(lattice.failure, look, paths));
    ReportRenderFailure(*m_report, lattice.failure);
    ConvertStoredLut(paths);
}

void FileFlows::ConvertStoredLut(const FilePaths& paths) {
    CVxLUT lut;
    // Only the state of the LUT counts here, not the loader's verdict.
    LoadLutFile(lut, paths.input);
    if (!IsPlainLattice(lut)) {
        m_report->SetCause("no LUT to convert instead");
        m_report->Say("  The source LUT can't be converted\n");
        return;
    }
    WriteAtRunSize(lut, "  LUT resampling is disabled; the file was not converted\n",
                   "  Resampling original LUT from the .look file...\n", paths.cubrelPath);
}

void FileFlows::WriteAtRunSize(CVxLUT& lut, const char* refusedMessage,
                               const char* resamplingMessage, const CVxString& path) {
    if (FitToRunSize(lut, refusedMessage, resamplingMessage))
        WriteCubrel(lut.m_data, 4, path);
}

bool FileFlows::FitToRunSize(CVxLUT& lut, const char* refusedMessage,
                             const char* resamplingMessage) {
    if (lut.m_size == m_settings.size && lut.HasUnitDomain())
        return true;
    if (!m_settings.resamplingAllowed) {
        m_report->SetCause("the LUT has size " + std::to_string(lut.m_size) + ", not " +
                           std::to_string(m_settings.size) + ", and -noresampling is given");
        m_report->Say(refusedMessage);
        return false;
    }
    m_report->Say(resamplingMessage);
    m_report->MarkResampling();
    return ResampleToRunSize(lut);
}

bool FileFlows::ResampleToRunSize(CVxLUT& lut) {
    // A Cubrel lattice spans [0, 1]: another domain is resampled onto it.
    lut.ResampleOverUnitDomain(m_settings.size);
    if (IsPlainLattice(lut) && lut.m_size == m_settings.size && lut.HasUnitDomain())
        return true;
    // A lattice of any other size must never be written as if it had the run's size.
    m_report->SetCause("the LUT could not be resampled");
    m_report->Say("  The source LUT can't be converted\n");
    return false;
}

void FileFlows::WriteCubrel(const float* lattice, uint32_t channels, const CVxString& path) {
    std::string what = WhatIsWritten(path, "Cubrel LUT");
    const std::unique_ptr<FileOutput> file = m_files.Replace(path);
    if (WriteCubrelFile(lattice, m_settings.size, channels, m_settings.cubrelBuffer.get(), *file)) {
        m_report->SetWritten(PathForPeople(path), std::move(what));
        m_report->Say("  Cubrel LUT written successfully\n");
        return;
    }
    m_report->SetCause(WriteFailure(*file, path));
    m_report->Say("  Error writing file\n");
}

std::string FileFlows::ReadFailure(const CVxString& path, int error, const char* otherwise) {
    const EPathKind kind = m_files.Lookup(path);
    if (kind == EPathKind::eMissing)
        return std::strerror(ENOENT);
    if (kind == EPathKind::eFolder)
        return std::strerror(EISDIR);
    if (error != 0)
        return std::strerror(error);
    uint8_t first = 0;
    return m_files.ReadHead(path, &first, 1) ? otherwise : "empty file";
}

std::string FileFlows::LoadFailure(const CVxString& path) {
    uint8_t first = 0;
    if (!m_files.ReadHead(path, &first, 1))
        return FileExists(m_files, path) ? "empty file" : std::strerror(ENOENT);
    return "not a LUT file in any known format";
}

std::string FileFlows::LookFailure(const CVxString& text) {
    CVxGradingParamStorage grading;
    std::unique_ptr<CVxShapeMask> mask;
    uint32_t size = 0;
    CVxString error;
    if (text.IsEmpty())
        return "empty file";
    if (ReadLookTextWithError(grading, text, mask, size, error) || error.IsEmpty())
        return "not a valid look";
    error.Replace("\n", ", ");
    return std::string("not a valid look: ") + error.c_str();
}

ERenderFailure FileFlows::EngineFailure() {
    const CVxSoftwareCompositingEngine& engine = Engine();
    using ERenderError = IVxCompositingEngine::ERenderError;
    if (engine.m_lastError == uint32_t(ERenderError::eShaderNotFound))
        return ERenderFailure::eShaderMissing;
    if (engine.m_lastError == uint32_t(ERenderError::eLutNotLoaded) || engine.m_lutMissing)
        return ERenderFailure::eLutMissing;
    return ERenderFailure::eRenderFailed;
}

std::string FileFlows::RenderCause(ERenderFailure failure, const ParsedLook& look,
                                   const FilePaths& paths) {
    const CVxGradingParamStorage& grading = look.grading;
    std::vector<const CVxShaderParamStorage*> layers;
    for (uint32_t index = 0; index < grading.ArrayCount(); ++index)
        layers.push_back(grading.ArrayLayer(index));
    for (uint32_t k = 0; k < grading.BaseSublayerCount(); ++k)
        layers.push_back(grading.BaseSublayer(k));
    if (failure == ERenderFailure::eShaderMissing) {
        std::string names;
        for (const CVxShaderParamStorage* layer : layers)
            if (layer && !layer->Name().IsEmpty() && !m_render.shaders.Find(layer->Name()))
                AppendName(names, layer->Name().c_str());
        return names.empty() ? "a shader that the look uses cannot be loaded"
                             : "shader not installed: " + names;
    }
    if (failure != ERenderFailure::eLutMissing)
        return failure == ERenderFailure::eOutOfMemory ? "out of memory" : "the render failed";
    std::string missing, unloadable;
    for (const CVxShaderParamStorage* layer : layers)
        for (uint32_t index = 0; layer && index < layer->ParamCount(); ++index) {
            const CVxShaderParam* param = layer->GetParam(index);
            if (!NamesLutFile(param->Name) || param->Value.IsEmpty())
                continue;
            const CVxString resolved =
                m_luts.Resolve(param->Value, CVxString(), ELutNameOrder::eIndexFirst, paths.folder);
            AppendName(FileExists(m_files, resolved) ? unloadable : missing, param->Value.c_str());
        }
    if (!missing.empty())
        return "LUT file not found: " + missing;
    if (!unloadable.empty())
        return "LUT file cannot be loaded: " + unloadable;
    return "a LUT file that the look uses is missing";
}

std::string FileFlows::WriteFailure(const FileOutput& file, const CVxString& path) {
    const std::string cause = file.FailureText();
    return "cannot write " + PathForPeople(path) + (cause.empty() ? "" : ": " + cause);
}

std::string FileFlows::WhatIsWritten(const CVxString& output, const char* kind) {
    if (output == m_input)
        return std::string(kind) + " rewritten in place";
    if (m_files.Lookup(output) == EPathKind::eMissing)
        return std::string("new ") + kind;
    return std::string(kind) + " replaced";
}
