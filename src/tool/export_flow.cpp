#include "tool/file_flows.h"

#include "foundation/paths.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "lut/cubrel_writer.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_writers.h"
#include "lut/ocio_reader.h"
#include "render/look_to_lut.h"
#include "tool/flow_support.h"
#include "tool/output_path.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The CDL is checked against the look's render at this many points of a ramp.
constexpr uint32_t kCdlCheckSize = 33;

// `size` inputs evenly from low to high, on every channel, put through the LUT.
std::vector<float> SampleRamp(const CVxLUT& lut, uint32_t size, float low, float high) {
    std::vector<float> nodes;
    nodes.reserve(size_t(size) * 3);
    const float step = (high - low) / static_cast<float>(size - 1);
    for (uint32_t i = 0; i < size; ++i) {
        float rgb[3];
        std::fill(rgb, rgb + 3, low + static_cast<float>(i) * step);
        lut.Apply(rgb);
        nodes.insert(nodes.end(), rgb, rgb + 3);
    }
    return nodes;
}

// The lattice's nodes over [low, high] on every axis, put through the LUT, red fastest.
std::vector<float> SampleLattice(const CVxLUT& lut, uint32_t size, float low, float high) {
    const uint64_t count = uint64_t(size) * size * size;
    std::vector<float> nodes;
    nodes.reserve(count * 3);
    const float step = (high - low) / static_cast<float>(size - 1);
    for (uint64_t i = 0; i < count; ++i) {
        float rgb[3] = {low + static_cast<float>(i % size) * step,
                        low + static_cast<float>(i / size % size) * step,
                        low + static_cast<float>(i / size / size) * step};
        lut.Apply(rgb);
        nodes.insert(nodes.end(), rgb, rgb + 3);
    }
    return nodes;
}

// The same input range on every channel, and not an empty one.
bool HasUniformDomain(const CVxLUT& lut) {
    const float low = lut.m_domainMin[0], high = lut.m_domainMax[0];
    return low == lut.m_domainMin[1] && low == lut.m_domainMin[2] && high == lut.m_domainMax[1] &&
           high == lut.m_domainMax[2] && low < high;
}

LutTable MakeTable(const float* values, uint32_t size, bool is3D, uint32_t channels, float low,
                   float high) {
    LutTable table;
    table.values = values;
    table.size = size;
    table.is3D = is3D;
    table.channels = channels;
    std::fill(table.domainMin, table.domainMin + 3, low);
    std::fill(table.domainMax, table.domainMax + 3, high);
    return table;
}

// Whether the first bytes of an existing file are those of the format: a
// file that a run of this format wrote, which the next run may replace.
bool HeadMatchesFormat(const ExportFormat& format, const char* head, size_t length) {
    const std::string_view text(head, length);
    if (format.signature != nullptr)
        return text.starts_with(format.signature);
    // Text formats without a signature: text it must be.
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && c != '\n' && c != '\r' && c != '\t';
    });
}

double CdlChannel(double x, double slope, double offset, double power) {
    const double graded = std::clamp(x * slope + offset, 0.0, 1.0);
    return std::pow(graded, power);
}

} // namespace

void FileFlows::ExportFile(const FilePaths& paths, bool isLutFile) {
    if (!MayWriteExport(paths))
        return;
    if (isLutFile)
        ExportLutFile(paths);
    else
        ReadLookFile(paths);
}

bool FileFlows::MayWriteExport(const FilePaths& paths) {
    if (m_settings.exportFormat->throughOcio && !CanWriteOcioFormats()) {
        m_report->Sayf("  Not converted: this build writes no %s (it has no OpenColorIO)\n",
                       m_settings.exportFormat->writtenAs);
        m_report->SetCause(std::string("this build writes no ") +
                           m_settings.exportFormat->writtenAs);
        return false;
    }
    if (m_settings.exportFormat->throughOcio && RefusedWithoutOcio())
        return false;
    if (m_files.Identity(paths.exportPath) == m_files.Identity(paths.input)) {
        m_report->Sayf("  Error: %s is the input itself; file was not converted (-out DIR "
                       "writes elsewhere)\n",
                       PathForPeople(paths.exportPath).c_str());
        m_report->SetCause("would replace the input itself (-out DIR writes elsewhere)");
        return false;
    }
    if (!FileExists(m_files, paths.exportPath))
        return true;
    char head[64];
    size_t length = sizeof head;
    if (!m_files.ReadHead(paths.exportPath, head, length)) {
        CVxString whole;
        if (!m_files.ReadFile(paths.exportPath, whole, sizeof head))
            whole.Empty();
        length = whole.Length();
        std::memcpy(head, whole.c_str(), length);
    }
    if (HeadMatchesFormat(*m_settings.exportFormat, head, length))
        return true;
    RefuseToReplace(paths.exportPath, std::string("a ") + m_settings.exportFormat->writtenAs);
    return false;
}

void FileFlows::ExportLook(const FilePaths& paths, ParsedLook& look) {
    if (m_settings.exportFormat->kind == EExportKind::eCdl)
        ExportCdl(paths, look);
    else
        ExportRendered(paths, look);
}

void FileFlows::ExportRendered(const FilePaths& paths, ParsedLook& look) {
    const ExportFormat& format = *m_settings.exportFormat;
    const bool perChannel = look.grading.IsPerChannelOnly(false);
    if (!format.holds3D && !perChannel) {
        m_report->Sayf("  Not converted: a %s holds only looks that act on each channel alone\n",
                       format.writtenAs);
        m_report->SetCause(std::string("a ") + format.writtenAs +
                           " holds only transforms that act on each channel alone");
        return;
    }
    const bool oneD = perChannel && format.holds1D;
    const uint32_t size = oneD ? kExport1DSize : m_settings.size;
    const RenderedLattice lattice = RenderLattice(
        Engine(), look.grading,
        LatticeRequest{
            .size = size, .is3D = oneD ? kLatticeRamp : kLatticeCube, .lookFolder = paths.folder});
    if (!lattice.nodes) {
        m_report->SetCause(RenderCause(lattice.failure, look, paths));
        ReportRenderFailure(*m_report, lattice.failure);
        ExportStoredLut(paths);
        return;
    }
    LutToWrite lut;
    lut.table = MakeTable(lattice.nodes.get(), size, !oneD, 3, 0.0f, 1.0f);
    ExportTransform(paths, lut);
}

void FileFlows::ExportStoredLut(const FilePaths& paths) {
    CVxLUT lut;
    // Only the state of the LUT counts here, not the loader's verdict.
    LoadLutFile(lut, paths.input);
    if (!IsPlainLattice(lut) || !m_settings.exportFormat->holds3D) {
        m_report->SetCause("no LUT to convert instead");
        m_report->Say("  The source LUT can't be converted\n");
        return;
    }
    if (FitToRunSize(lut, "  LUT resampling is disabled; the file was not converted\n",
                     "  Resampling original LUT from the .look file...\n"))
        ExportLattice(paths, lut.m_data, 4, m_settings.size);
}

void FileFlows::ExportCdl(const FilePaths& paths, ParsedLook& look) {
    CdlValues cdl;
    if (!look.grading.IsPerChannelOnly(false) ||
        !ExtractCdl(look.grading, cdl.slope, cdl.offset, cdl.power)) {
        m_report->Say("  Not expressible as an ASC CDL: the look's channels affect each other\n");
        m_report->SetCause("not expressible as an ASC CDL: the look's channels affect each other");
        return;
    }
    const RenderedLattice ramp = RenderLattice(
        Engine(), look.grading,
        LatticeRequest{.size = kCdlCheckSize, .is3D = kLatticeRamp, .lookFolder = paths.folder});
    if (!ramp.nodes) {
        m_report->SetCause(RenderCause(ramp.failure, look, paths));
        ReportRenderFailure(*m_report, ramp.failure);
        return;
    }
    for (uint32_t i = 0; i < kCdlCheckSize; ++i) {
        const double x = static_cast<double>(i) / (kCdlCheckSize - 1);
        for (int c = 0; c < 3; ++c) {
            const float expected =
                static_cast<float>(CdlChannel(x, cdl.slope[c], cdl.offset[c], cdl.power[c]));
            const int rendered = static_cast<int>(CubrelCode(ramp.nodes[i * 3 + c]));
            if (std::abs(rendered - static_cast<int>(CubrelCode(expected))) > 1) {
                m_report->Say("  Not expressible as an ASC CDL: the look holds more than a CDL "
                              "(its render differs from the CDL by more than 1 code)\n");
                m_report->SetCause("not expressible as an ASC CDL: its render differs from the "
                                   "CDL by more than 1 code");
                return;
            }
        }
    }
    CVxString baseName;
    SplitPath(paths.input, nullptr, nullptr, &baseName, nullptr);
    const std::string_view id(baseName.c_str(), baseName.Length());
    WriteExport(paths, [&](ByteSink& out) { return WriteColorCorrection(cdl, id, out); });
}

// As Cubrel mode converts a LUT file: a lattice over [0, 1] at the run's
// size, resampled when it has another; anything else rendered as a look that
// applies the file. A per-channel file stays a 1D table over its input range
// where the format has one.
void FileFlows::ExportLutFile(const FilePaths& paths) {
    const ExportFormat& format = *m_settings.exportFormat;
    if (format.kind == EExportKind::eCdl) {
        m_report->Say("  Not expressible as an ASC CDL: a LUT file holds no CDL\n");
        m_report->SetCause("not expressible as an ASC CDL: a LUT file holds no CDL");
        return;
    }
    if (IsOcioLutFile(paths.input) && RefusedWithoutOcio())
        return;
    if (IsOcioLutFile(paths.input) && ExportThroughOcio(paths))
        return;
    CVxLUT lut;
    const bool loaded = LoadLutFile(lut, paths.input);
    if (!loaded) {
        m_report->SetCause(LoadFailure(paths.input));
        m_report->Say("  Error loading LUT\n");
    }
    const bool oneD = !lut.IsEmpty() && !lut.m_is3D && lut.m_preLUT == nullptr;
    if (oneD && format.holds1D) {
        ExportOneDimensionalLut(paths, lut);
        return;
    }
    if (!format.holds3D) {
        if (loaded) {
            m_report->Sayf("  Not converted: a %s holds only LUTs that act on each channel alone\n",
                           format.writtenAs);
            m_report->SetCause(std::string("a ") + format.writtenAs +
                               " holds only transforms that act on each channel alone");
        }
        return;
    }
    if (ExportWithInputRange(paths, lut))
        return;
    if (!IsPlainLattice(lut) || !lut.HasUnitDomain()) {
        WrapLutAsLook(paths);
        return;
    }
    if (FitToRunSize(lut,
                     "  Source LUT has a different size and resampling is disabled.\n"
                     "  The LUT was not converted.\n",
                     "  Resampling LUT...\n"))
        ExportLattice(paths, lut.m_data, 4, m_settings.size);
}

bool FileFlows::ExportWithInputRange(const FilePaths& paths, CVxLUT& lut) {
    if (!m_settings.exportFormat->holdsInputRange)
        return false;
    CVxLUT* const shaper = lut.m_preLUT;
    if (!lut.m_is3D || lut.IsEmpty() || !HasUniformDomain(lut) ||
        (shaper == nullptr && lut.HasUnitDomain()))
        return false;
    if (shaper != nullptr &&
        (shaper->m_is3D || shaper->IsEmpty() || shaper->m_preLUT || !HasUniformDomain(*shaper)))
        return false;
    // The lattice alone, at the run's size over its own range; the shaper's
    // outputs are its inputs, as they are a cube file's.
    const float low = lut.m_domainMin[0], high = lut.m_domainMax[0];
    lut.m_preLUT = nullptr;
    const std::vector<float> nodes = SampleLattice(lut, m_settings.size, low, high);
    lut.m_preLUT = shaper;
    LutToWrite transform;
    transform.table = MakeTable(nodes.data(), m_settings.size, true, 3, low, high);
    if (shaper != nullptr)
        transform.shaper = MakeTable(shaper->m_data, shaper->m_size, false, 4,
                                     shaper->m_domainMin[0], shaper->m_domainMax[0]);
    ExportTransform(paths, transform);
    return true;
}

void FileFlows::ExportOneDimensionalLut(const FilePaths& paths, const CVxLUT& lut) {
    float low = lut.m_domainMin[0], high = lut.m_domainMax[0];
    if (!HasUniformDomain(lut)) {
        low = 0.0f;
        high = 1.0f;
    }
    const std::vector<float> nodes = SampleRamp(lut, kExport1DSize, low, high);
    LutToWrite transform;
    transform.table = MakeTable(nodes.data(), kExport1DSize, false, 3, low, high);
    ExportTransform(paths, transform);
}

bool FileFlows::ExportThroughOcio(const FilePaths& paths) {
    const ExportFormat& format = *m_settings.exportFormat;
    OcioFileTransform transform;
    if (!transform.Open(m_files, paths.input))
        return false;
    CVxLUT probe;
    const bool oneD =
        transform.FillLut(probe, false, CVxLUT::EDimensionRequirement::eAnyDimension) &&
        !probe.m_is3D && probe.m_preLUT == nullptr;
    if (!format.holds3D && !oneD) {
        NoteCorrections(transform, paths);
        m_report->Sayf("  Not converted: a %s holds only LUTs that act on each channel alone\n",
                       format.writtenAs);
        m_report->SetCause(std::string("a ") + format.writtenAs +
                           " holds only transforms that act on each channel alone");
        return true;
    }
    const bool write1D = oneD && format.holds1D;
    const uint32_t size = write1D ? kExport1DSize : m_settings.size;
    std::vector<float> nodes;
    if (write1D) {
        nodes.reserve(size * 3);
        for (uint32_t i = 0; i < size; ++i) {
            const float x = static_cast<float>(i) / static_cast<float>(size - 1);
            nodes.insert(nodes.end(), {x, x, x});
        }
        if (!transform.Apply(nodes.data(), size))
            return false;
    } else {
        nodes.resize(uint64_t(size) * size * size * 3);
        if (!transform.ApplyToLattice(size, nodes.data()))
            return false;
    }
    NoteCorrections(transform, paths);
    LutToWrite lut;
    lut.table = MakeTable(nodes.data(), size, !write1D, 3, 0.0f, 1.0f);
    ExportTransform(paths, lut);
    return true;
}

void FileFlows::ExportLattice(const FilePaths& paths, const float* nodes, uint32_t channels,
                              uint32_t size) {
    LutToWrite lut;
    lut.table = MakeTable(nodes, size, true, channels, 0.0f, 1.0f);
    ExportTransform(paths, lut);
}

void FileFlows::ExportTransform(const FilePaths& paths, const LutToWrite& lut) {
    LutWriter* const write = m_settings.exportFormat->write;
    LutToWrite sized = lut;
    sized.latticeSize = m_settings.size;
    WriteExport(paths, [&](ByteSink& out) { return write != nullptr && write(sized, out); });
}

void FileFlows::WriteExport(const FilePaths& paths, const std::function<bool(ByteSink&)>& write) {
    const char* kind = m_settings.exportFormat->writtenAs;
    std::string what = WhatIsWritten(paths.exportPath, kind);
    const std::unique_ptr<FileOutput> file = m_files.Replace(paths.exportPath);
    if (write(*file) && file->Commit()) {
        m_report->SetWritten(PathForPeople(paths.exportPath), std::move(what));
        m_report->Sayf("  %s written successfully\n", kind);
        return;
    }
    m_report->SetCause(WriteFailure(*file, paths.exportPath));
    m_report->Say("  Error writing file\n");
}
