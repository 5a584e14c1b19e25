#include "tool/conversion_flows.h"

#include "foundation/paths.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "lut/cubrel_writer.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_formats.h"
#include "lut/ocio_reader.h"
#include "render/file_lattice.h"
#include "render/look_to_lut.h"
#include "render/rebuilt_look.h"
#include "tool/output_path.h"

#include <cstring>
#include <new>
#include <string>

namespace {

constexpr uint32_t kRamp1DSize = 256;
constexpr size_t kCubrelMagicSize = 4;

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

} // namespace

void ConversionFlows::Convert(const FilePaths& paths, bool isLutFile) {
    if (!isLutFile) {
        if (const std::unique_ptr<ParsedLook> look = ReadLookFile(paths))
            HandleLook(paths, *look);
        return;
    }
    if (m_settings.cubrelMode)
        ConvertLutDirectly(paths);
    else
        WrapLutAsLook(paths);
}

bool ConversionFlows::MayReplaceExisting(const FilePaths& paths) {
    CVxString extension;
    SplitPath(paths.input, nullptr, nullptr, nullptr, &extension);
    if (extension.Compare(".lut", CVxString::ePath) == 0 ||
        !IsLutFileUnderOwnExtension(paths.input))
        return true;
    const CVxString& output = paths.output;
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

void ConversionFlows::ConvertLutDirectly(const FilePaths& paths) {
    // One read gives the magic and the LUT.
    CVxString bytes;
    const FileStatus read = ReadLutBytes(paths.input, bytes);
    uint8_t magic[kCubrelMagicSize];
    if (!ReadMagic(paths.input, read, bytes, magic))
        return;
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
    const bool empty = bytes.IsEmpty();
    if (!read || !LoadLutBytes(lut, paths.input, std::move(bytes))) {
        m_report->SetCause(LoadFailure(paths.input, read, empty));
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

bool ConversionFlows::ReadMagic(const CVxString& path, const FileStatus& read,
                                const CVxString& bytes, uint8_t* magic) {
    FileStatus head = read;
    if (read.error == EFBIG)
        head = m_files.ReadHead(path, magic, kCubrelMagicSize);
    else if (read && bytes.Length() < kCubrelMagicSize)
        head = FileStatus::Refusal(bytes.IsEmpty() ? "empty file" : "shorter than 4 bytes");
    else if (read)
        std::memcpy(magic, bytes.Data(), kCubrelMagicSize);
    if (head)
        return true;
    m_report->SetCause(head.cause);
    m_report->Say("  Error reading file\n");
    return false;
}

bool ConversionFlows::ConvertThroughOcio(const FilePaths& paths) {
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

void ConversionFlows::WrapLutAsLook(const FilePaths& paths) {
    // Only a file that lists corrections can need the notice. The render then
    // reads it through Load, which OpenColorIO serves from what it parsed here.
    const bool rebuildMode = !m_settings.cubrelMode;
    if (rebuildMode && ListsCorrections(paths.input)) {
        OcioFileTransform transform;
        if (transform.Open(m_files, paths.input))
            NoteCorrections(transform, paths);
    }
    CVxString text;
    WriteLutWrapperLook(text, paths.wrappedName);
    if (rebuildMode && m_outputState.kind == EPathKind::eFile)
        m_report->Say("  Warning: conversion will overwrite an existing look file\n");
    if (const std::unique_ptr<ParsedLook> look = ParseLook(paths, text))
        HandleLook(paths, *look);
}

void ConversionFlows::HandleLook(const FilePaths& paths, ParsedLook& look) {
    if (m_settings.cubrelMode)
        RenderLookToCubrel(paths, look);
    else
        RebuildLook(paths, look);
}

void ConversionFlows::RebuildLook(const FilePaths& paths, ParsedLook& look) {
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
    const std::unique_ptr<FileOutput> file = ReplaceOutput(paths.lookPath);
    ERenderFailure failure = ERenderFailure::eNone;
    const ERebuildResult result =
        WriteRebuiltLook(Engine(), look.grading, *file, look.mask.get(), m_settings.size,
                         kRamp1DSize, paths.folder, &failure);
    if (result == ERebuildResult::eRenderFailed) {
        m_report->SetCause(RenderCause(failure, look, paths));
        m_report->Say("  Error rendering new look LUT, file was not modified\n");
        return;
    }
    if (result == ERebuildResult::eWriteFailed || !file->Commit()) {
        ReportWriteFailure(*file, paths.lookPath);
        return;
    }
    m_report->SetWritten(PathForPeople(paths.lookPath), std::move(what));
    m_report->Say("  LUT updated successfully\n");
}

void ConversionFlows::RenderLookToCubrel(const FilePaths& paths, ParsedLook& look) {
    const RenderedLattice lattice =
        RenderLattice(Engine(), look.grading,
                      LatticeRequest{.size = m_settings.size, .lookFolder = paths.folder});
    if (lattice.nodes) {
        WriteCubrel(lattice.nodes.get(), 3, paths.cubrelPath);
        return;
    }
    if (FallBackToStoredLut(lattice.failure, look, paths))
        ConvertStoredLut(paths);
}

void ConversionFlows::ConvertStoredLut(const FilePaths& paths) {
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

void ConversionFlows::WriteAtRunSize(CVxLUT& lut, const char* refusedMessage,
                                     const char* resamplingMessage, const CVxString& path) {
    if (FitToRunSize(lut, refusedMessage, resamplingMessage))
        WriteCubrel(lut.m_data, 4, path);
}

bool ConversionFlows::FitToRunSize(CVxLUT& lut, const char* refusedMessage,
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

bool ConversionFlows::ResampleToRunSize(CVxLUT& lut) {
    // A Cubrel lattice spans [0, 1]: another domain is resampled onto it.
    lut.ResampleOverUnitDomain(m_settings.size);
    if (IsPlainLattice(lut) && lut.m_size == m_settings.size && lut.HasUnitDomain())
        return true;
    // A lattice of any other size must never be written as if it had the run's size.
    m_report->SetCause("the LUT could not be resampled");
    m_report->Say("  The source LUT can't be converted\n");
    return false;
}

void ConversionFlows::WriteCubrel(const float* lattice, uint32_t channels, const CVxString& path) {
    std::string what = WhatIsWritten(path, "Cubrel LUT");
    const std::unique_ptr<FileOutput> file = ReplaceOutput(path);
    if (WriteCubrelFile(lattice, m_settings.size, channels, m_settings.cubrelBuffer.get(), *file)) {
        m_report->SetWritten(PathForPeople(path), std::move(what));
        m_report->Say("  Cubrel LUT written successfully\n");
        return;
    }
    ReportWriteFailure(*file, path);
}
