#include "lut/lut_writers.h"
#include "lut/ocio_reader.h"

#include "../support/scratch_folder.h"
#include "lut_writer_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string Write(const std::function<bool(ByteSink&)>& writer) {
    CVxString bytes;
    StringSink sink(bytes);
    if (!writer(sink))
        return {};
    return std::string(bytes.c_str(), bytes.Length());
}

// Writes a file with the writer and opens it through OpenColorIO.
bool WriteAndOpen(const ScratchFolder& scratch, const char* file,
                  const std::function<bool(ByteSink&)>& writer, OcioFileTransform& read) {
    const std::string bytes = Write(writer);
    if (bytes.empty())
        return false;
    scratch.Write(file, bytes);
    SystemFileAccess files;
    return read.Open(files, scratch.Drive(file).c_str());
}

// Every written file read back by OpenColorIO gives the lattice at its nodes:
// within 1e-5 for float formats, which keep values outside [0, 1], and within
// one output code of the clamped values for 3DL's 12-bit integers.
TEST(OcioWriter, LatticesReadBackThroughOpenColorIO) {
    ASSERT_TRUE(CanWriteOcioFormats());
    const Sample sample(17);
    const LutToWrite lut = Transform(sample.Table());
    struct Case {
        const char* file;
        std::function<bool(ByteSink&)> writer;
        float tolerance; // 0: float format
    };
    const auto ocio = [&](EOcioWriteFormat format) {
        return [&lut, format](ByteSink& out) { return WriteOcioLut(format, lut, out); };
    };
    const Case cases[] = {
        {"out.cube", [&](ByteSink& out) { return WriteCubeLut(lut, out); }, 0},
        {"out.spi3d", [&](ByteSink& out) { return WriteSpi3dLut(lut, out); }, 0},
        {"out.3dl", ocio(EOcioWriteFormat::e3dl), 1.0f / 4095},
        {"out.csp", ocio(EOcioWriteFormat::eCinespace), 0},
        {"out.cub", ocio(EOcioWriteFormat::eTruelight), 0},
        {"out.itx", ocio(EOcioWriteFormat::eItx), 0},
        {"out.clf", ocio(EOcioWriteFormat::eClf), 0},
        {"out.ctf", ocio(EOcioWriteFormat::eCtf), 0},
    };
    ScratchFolder scratch;
    for (const Case& c : cases) {
        OcioFileTransform read;
        ASSERT_TRUE(WriteAndOpen(scratch, c.file, c.writer, read)) << c.file;
        std::vector<float> nodes(sample.values.size());
        ASSERT_TRUE(read.ApplyToLattice(sample.size, nodes.data())) << c.file;
        for (size_t i = 0; i < nodes.size(); ++i) {
            const float value = sample.values[i];
            const float expected = c.tolerance > 0 ? std::clamp(value, 0.0f, 1.0f) : value;
            ASSERT_NEAR(nodes[i], expected, c.tolerance > 0 ? c.tolerance : 1e-5f)
                << c.file << " value " << i;
        }
    }
}

// A per-channel table keeps its entries in the 1D formats; the lattice
// formats sample it at the lattice size; a shaper's input range survives
// in the formats that hold one.
TEST(OcioWriter, OneDimensionalAndShapedTablesReadBack) {
    std::vector<float> ramp;
    const uint32_t length = 4096;
    const auto curve = [](float x, int c) { return c == 0 ? x * x : c == 1 ? 1.2f * x - 0.1f : x; };
    for (uint32_t i = 0; i < length; ++i)
        for (int c = 0; c < 3; ++c)
            ramp.push_back(curve(static_cast<float>(i) / (length - 1), c));
    LutToWrite oneD = Transform(Table(ramp, length, false));
    oneD.latticeSize = 33;
    const LutToWrite rangedOneD = Transform(Table(ramp, length, false, -0.5f, 1.5f));
    const Sample sample(9);
    const std::vector<float> linearShaper = {0, 0, 0, 1, 1, 1};
    const LutToWrite shaped =
        Transform(sample.Table(), Table(linearShaper, 2, false, -0.25f, 1.5f));

    struct Case {
        const char* file;
        std::function<bool(ByteSink&)> writer;
        bool shaped;
        float low, high; // the input range
        float tolerance;
    };
    const auto ocio = [](EOcioWriteFormat format, const LutToWrite& lut) {
        return [&lut, format](ByteSink& out) { return WriteOcioLut(format, lut, out); };
    };
    const Case cases[] = {
        {"1d.cube", [&](ByteSink& out) { return WriteCubeLut(rangedOneD, out); }, false, -0.5f,
         1.5f, 1e-5f},
        {"1d.spi1d", [&](ByteSink& out) { return WriteSpi1dLut(rangedOneD, out); }, false, -0.5f,
         1.5f, 1e-5f},
        {"1d.clf", ocio(EOcioWriteFormat::eClf, rangedOneD), false, -0.5f, 1.5f, 1e-5f},
        {"1d.ctf", ocio(EOcioWriteFormat::eCtf, oneD), false, 0.0f, 1.0f, 1e-5f},
        // 33 nodes of a lattice: the straight lines between them stray from the curve.
        {"1d.csp", ocio(EOcioWriteFormat::eCinespace, oneD), false, 0.0f, 1.0f, 3e-4f},
        {"shaped.cube", [&](ByteSink& out) { return WriteCubeLut(shaped, out); }, true, -0.25f,
         1.5f, 1e-5f},
        {"shaped.clf", ocio(EOcioWriteFormat::eClf, shaped), true, -0.25f, 1.5f, 1e-5f},
    };
    ScratchFolder scratch;
    for (const Case& c : cases) {
        OcioFileTransform read;
        ASSERT_TRUE(WriteAndOpen(scratch, c.file, c.writer, read)) << c.file;
        for (const float x : {0.0f, 0.1f, 0.37f, 0.5f, 0.93f, 1.0f}) {
            const float v = c.low + x * (c.high - c.low);
            float rgb[3] = {v, v, v};
            ASSERT_TRUE(read.Apply(rgb, 1));
            float expected[3];
            if (c.shaped) {
                const float node[3] = {x, x, x};
                sample.Interpolate(node, expected);
            } else {
                for (int ch = 0; ch < 3; ++ch)
                    expected[ch] = curve(x, ch);
            }
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_NEAR(rgb[ch], expected[ch], c.tolerance) << c.file << " at " << v;
        }
    }
}

// OpenColorIO reads the ASC CDL we write as the correction it names.
TEST(OcioWriter, ColorCorrectionReadsBackAsItsCdl) {
    CdlValues cdl;
    const double slope[3] = {1.2, 0.9, 1.0}, offset[3] = {-0.02, 0.0, 0.05},
                 power[3] = {0.8, 1.0, 1.1};
    std::copy(slope, slope + 3, cdl.slope);
    std::copy(offset, offset + 3, cdl.offset);
    std::copy(power, power + 3, cdl.power);
    ScratchFolder scratch;
    scratch.Write("grade.cc",
                  Write([&](ByteSink& out) { return WriteColorCorrection(cdl, "shot_010", out); }));
    SystemFileAccess files;
    OcioFileTransform read;
    ASSERT_TRUE(read.Open(files, scratch.Drive("grade.cc").c_str()));
    EXPECT_EQ(read.CorrectionId(), "shot_010");
    for (const float x : {0.0f, 0.25f, 0.6f, 1.0f}) {
        float rgb[3] = {x, x, x};
        ASSERT_TRUE(read.Apply(rgb, 1));
        for (int c = 0; c < 3; ++c) {
            const double sop = std::max(0.0, x * slope[c] + offset[c]);
            EXPECT_NEAR(rgb[c], std::pow(std::min(sop, 1.0), power[c]), 1e-5) << x;
        }
    }
}

} // namespace
