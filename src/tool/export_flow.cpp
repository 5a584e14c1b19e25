#include "tool/export_flow.h"

#include "foundation/paths.h"
#include "look/parsed_look.h"
#include "lut/lattice_evaluation.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_writers.h"
#include "lut/ocio_reader.h"
#include "render/look_character.h"
#include "render/look_to_lut.h"
#include "tool/output_path.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

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

// The same input range on every channel, and not an empty one.
bool HasUniformDomain(const CVxLUT& lut) {
    const float low = lut.m_domainMin[0], high = lut.m_domainMax[0];
    return low == lut.m_domainMin[1] && low == lut.m_domainMin[2] && high == lut.m_domainMax[1] &&
           high == lut.m_domainMax[2] && low < high;
}

// The input range of the whole transform: its pre-LUT's when it has one, when
// the same on every channel; left as it is otherwise.
void InputRangeOf(const CVxLUT& lut, float& low, float& high) {
    const CVxLUT& first = lut.m_preLUT ? *lut.m_preLUT : lut;
    if (!HasUniformDomain(first))
        return;
    low = first.m_domainMin[0];
    high = first.m_domainMax[0];
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

} // namespace

void ExportFlow::Convert(const FilePaths& paths, bool isLutFile) {
    if (isLutFile) {
        ExportLutFile(paths);
        return;
    }
    if (const std::unique_ptr<ParsedLook> look = ReadLookFile(paths))
        ExportLook(paths, *look);
}

bool ExportFlow::MayWriteAtAll() {
    if (!m_settings.exportFormat->throughOcio)
        return true;
    if (CanWriteOcioFormats())
        return !RefusedWithoutOcio();
    const std::string format = m_settings.exportFormat->writtenAs;
    RefuseToConvert("Not converted: this build writes no " + format + " (it has no OpenColorIO)",
                    "this build writes no " + format);
    return false;
}

bool ExportFlow::MayReplaceExisting(const FilePaths& paths) {
    const ExportFormat& format = *m_settings.exportFormat;
    if (format.mark.empty()) {
        const std::string path = PathForPeople(paths.exportPath);
        RefuseOutput(path + " exists, and a " + format.writtenAs +
                         " has no place for a mark of ours",
                     "would replace " + path + ", whose format has no place for a mark of ours",
                     kOverwriteHint);
        return false;
    }
    if (OutputCarriesOurMark(format, paths.exportPath))
        return true;
    RefuseToReplace(paths.exportPath,
                    std::string("a ") + format.writtenAs + " that Gradeshift wrote");
    return false;
}

void ExportFlow::ExportLook(const FilePaths& paths, ParsedLook& look) {
    if (m_settings.exportFormat->writesCdl)
        ExportCdl(paths, look);
    else
        ExportRendered(paths, look);
}

void ExportFlow::ExportRendered(const FilePaths& paths, ParsedLook& look) {
    const ExportFormat& format = *m_settings.exportFormat;
    const bool perChannel = ActsOnEachChannel(look.grading, m_luts, paths.folder);
    if (!format.holds3D && !perChannel) {
        RefuseToConvert(std::string("Not converted: a ") + format.writtenAs +
                            " holds only looks that act on each channel alone",
                        std::string("a ") + format.writtenAs +
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
        if (FallBackToStoredLut(lattice.failure, look, paths))
            ExportStoredLut(paths);
        return;
    }
    LutToWrite lut;
    lut.table = MakeTable(lattice.nodes.get(), size, !oneD, 3, 0.0f, 1.0f);
    ExportTransform(paths, lut);
}

void ExportFlow::ExportStoredLut(const FilePaths& paths) {
    CVxLUT lut;
    // Only the state of the LUT counts here, not the loader's verdict.
    LoadLutFile(lut, paths.input);
    if (!IsPlainLattice(lut) || !m_settings.exportFormat->holds3D) {
        m_report->SetCause("no LUT to convert instead");
        m_report->Say("  The source LUT can't be converted\n");
        return;
    }
    if (lut.m_size == m_settings.size && lut.HasUnitDomain()) {
        ExportLattice(paths, lut.m_data, 4, m_settings.size);
        return;
    }
    if (!m_settings.resamplingAllowed) {
        m_report->SetCause("the LUT has size " + std::to_string(lut.m_size) + ", not " +
                           std::to_string(m_settings.size) + ", and -noresampling is given");
        m_report->Say("  LUT resampling is disabled; the file was not converted\n");
        return;
    }
    m_report->Say("  Resampling original LUT from the .look file...\n");
    m_report->MarkResampling();
    ExportEvaluated(paths, lut, 0.0f, 1.0f);
}

void ExportFlow::ExportCdl(const FilePaths& paths, ParsedLook& look) {
    const LookChannels channels =
        DescribeLookChannels(Engine(), look.grading, m_luts, paths.folder);
    if (channels.renderFailure != ERenderFailure::eNone) {
        m_report->SetCause(RenderCause(channels.renderFailure, look, paths));
        ReportRenderFailure(channels.renderFailure);
        return;
    }
    if (!channels.cdl) {
        const std::string why = channels.cdlRefusal;
        RefuseToConvert(why == kCdlRenderDiffers
                            ? "Not expressible as an ASC CDL: the look holds more than a CDL (" +
                                  why + ")"
                            : "Not expressible as an ASC CDL: " + why,
                        "not expressible as an ASC CDL: " + why);
        return;
    }
    CVxString baseName;
    SplitPath(paths.input, nullptr, nullptr, &baseName, nullptr);
    const std::string_view id(baseName.c_str(), baseName.Length());
    WriteExport(paths, [&](ByteSink& out) { return WriteColorCorrection(*channels.cdl, id, out); });
}

// A LUT file is evaluated at the nodes of the new table as tools apply it:
// a per-channel file stays a 1D table over its input range where the format
// has one; a format that keeps shapers keeps the file's shaper and range;
// anything else is one lattice at the run's size, over the file's input range
// where the format keeps one.
void ExportFlow::ExportLutFile(const FilePaths& paths) {
    const ExportFormat& format = *m_settings.exportFormat;
    if (format.writesCdl) {
        RefuseToConvert("Not expressible as an ASC CDL: a LUT file holds no CDL",
                        "not expressible as an ASC CDL: a LUT file holds no CDL");
        return;
    }
    if (IsOcioLutFile(paths.input) && RefusedWithoutOcio())
        return;
    if (IsOcioLutFile(paths.input) && RefusedWithoutOcio())
        return;
    if (IsOcioLutFile(paths.input) && ExportThroughOcio(paths))
        return;
    CVxString bytes;
    const FileStatus read = ReadLutBytes(paths.input, bytes);
    const bool empty = bytes.IsEmpty();
    CVxLUT lut;
    if (!read || !LoadLutBytes(lut, paths.input, std::move(bytes)) || lut.IsEmpty()) {
        m_report->SetCause(LoadFailure(paths.input, read, empty));
        m_report->Say("  Error loading LUT\n");
        return;
    }
    if (!lut.m_is3D && format.holds1D) {
        ExportOneDimensionalLut(paths, lut);
        return;
    }
    if (!format.holds3D) {
        RefuseToConvert(std::string("Not converted: a ") + format.writtenAs +
                            " holds only LUTs that act on each channel alone",
                        std::string("a ") + format.writtenAs +
                            " holds only transforms that act on each channel alone");
        return;
    }
    if (format.holdsShaper && ExportWithInputRange(paths, lut))
        return;
    float low = 0.0f, high = 1.0f;
    if (format.holdsInputRange)
        InputRangeOf(lut, low, high);
    ExportEvaluated(paths, lut, low, high);
}

void ExportFlow::ExportEvaluated(const FilePaths& paths, const CVxLUT& lut, float low, float high) {
    const uint64_t n = m_settings.size;
    std::unique_ptr<float[]> nodes(new (std::nothrow) float[n * n * n * 3]);
    if (!nodes || !EvaluateAtLattice(lut, m_settings.size, low, high, nodes.get())) {
        m_report->SetCause("out of memory");
        m_report->Say("  The source LUT can't be converted\n");
        return;
    }
    LutToWrite transform;
    transform.table = MakeTable(nodes.get(), m_settings.size, true, 3, low, high);
    ExportTransform(paths, transform);
}

bool ExportFlow::ExportWithInputRange(const FilePaths& paths, CVxLUT& lut) {
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
    const uint64_t n = m_settings.size;
    std::vector<float> nodes(n * n * n * 3);
    lut.m_preLUT = nullptr;
    EvaluateAtLattice(lut, m_settings.size, low, high, nodes.data());
    lut.m_preLUT = shaper;
    LutToWrite transform;
    transform.table = MakeTable(nodes.data(), m_settings.size, true, 3, low, high);
    if (shaper != nullptr)
        transform.shaper = MakeTable(shaper->m_data, shaper->m_size, false, 4,
                                     shaper->m_domainMin[0], shaper->m_domainMax[0]);
    ExportTransform(paths, transform);
    return true;
}

void ExportFlow::ExportOneDimensionalLut(const FilePaths& paths, const CVxLUT& lut) {
    float low = 0.0f, high = 1.0f;
    InputRangeOf(lut, low, high);
    const std::vector<float> nodes = SampleRamp(lut, kExport1DSize, low, high);
    LutToWrite transform;
    transform.table = MakeTable(nodes.data(), kExport1DSize, false, 3, low, high);
    ExportTransform(paths, transform);
}

bool ExportFlow::ExportThroughOcio(const FilePaths& paths) {
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
        RefuseToConvert(std::string("Not converted: a ") + format.writtenAs +
                            " holds only LUTs that act on each channel alone",
                        std::string("a ") + format.writtenAs +
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

void ExportFlow::ExportLattice(const FilePaths& paths, const float* nodes, uint32_t channels,
                               uint32_t size) {
    LutToWrite lut;
    lut.table = MakeTable(nodes, size, true, channels, 0.0f, 1.0f);
    ExportTransform(paths, lut);
}

void ExportFlow::ExportTransform(const FilePaths& paths, const LutToWrite& lut) {
    const ExportFormat& format = *m_settings.exportFormat;
    LutToWrite sized = lut;
    sized.latticeSize = m_settings.size;
    WriteExport(paths, [&](ByteSink& out) {
        return format.write != nullptr && format.write(format, sized, out);
    });
}

void ExportFlow::WriteExport(const FilePaths& paths, const std::function<bool(ByteSink&)>& write) {
    const char* kind = m_settings.exportFormat->writtenAs;
    std::string what = WhatIsWritten(paths.exportPath, kind);
    const std::unique_ptr<FileOutput> file = ReplaceOutput(paths.exportPath);
    if (write(*file) && file->Commit()) {
        m_report->SetWritten(PathForPeople(paths.exportPath), std::move(what));
        m_report->Sayf("  %s written successfully\n", kind);
        return;
    }
    ReportWriteFailure(*file, paths.exportPath);
}
