#pragma once

#include "foundation/byte_sink.h"

#include <cstdint>
#include <string_view>

// Writers of the LUT formats that other tools load. Each takes the transform
// as tables of floats and appends the whole file to a sink; none prints or
// lets an exception escape. Every file carries kWrittenByNote where its format
// has room for a note that readers pass over (the registry's mark of the
// format says where); spi1d and spi3d files have no such room. A writer that cannot hold the
// transform (a 3D table for a 1D-only format, input ranges the format has no place for) returns
// false before writing anything; otherwise false means the sink or the library failed, and the sink
// may hold part of the file.

// How a file says that this program wrote it: a comment line "# Written by
// Gradeshift" first in a cube, 3DL or itx file and second in a Truelight file,
// a metadata line of a cinespace file, a Description element of a CLF, CTF or
// CDL document, and the PNG text "Software" = "Gradeshift" of a Hald image.
inline constexpr const char* kWrittenByNote = "Written by Gradeshift";
inline constexpr const char* kWriterName = "Gradeshift";

// One table of a transform: a 1D table of `size` entries, or a lattice of
// `size` nodes per axis (red fastest, blue slowest). Every entry holds
// `channels` floats (3 or 4), of which the first three are red, green, blue.
// Entry i of an axis is the output at domainMin + i / (size - 1) * (domainMax - domainMin).
struct LutTable {
    const float* values = nullptr;
    uint32_t size = 0;
    bool is3D = false;
    uint32_t channels = 3;
    float domainMin[3] = {0.0f, 0.0f, 0.0f};
    float domainMax[3] = {1.0f, 1.0f, 1.0f};

    bool IsEmpty() const { return size == 0 || values == nullptr; }
    bool HasUnitDomain() const;
    // The same range on every channel.
    bool HasUniformDomain() const;
    const float* Entry(uint64_t index) const { return values + index * channels; }
};

// What a writer writes: the table, after an optional 1D shaper whose outputs
// are the table's inputs (in the table's domain). `latticeSize` is the number
// of nodes per axis that a format holding only lattices samples a 1D table
// at; 0 means the table's own size.
struct LutToWrite {
    LutTable shaper;
    LutTable table;
    uint32_t latticeSize = 0;
};

// A .cube file as cameras, monitors and other tools load one: a single 3D
// table, with DOMAIN_MIN and DOMAIN_MAX lines when its input range is not 0
// to 1; values as below. False for a 1D table or a shaper.
bool WriteCubeLut(const LutToWrite& lut, ByteSink& out);

// A .cube file as DaVinci Resolve writes one: a 1D or 3D table, with LUT_1D_SIZE and its input
// range before LUT_3D_SIZE and its range when there is a shaper (the shaper's and the lattice's
// ranges must each be the same on every channel). Without a shaper a range other than 0 to 1 is
// written as the table's input range, or as DOMAIN_MIN and DOMAIN_MAX when it differs between
// channels. Values are written with six decimals in the C locale, whatever their range; a value
// that is not a number is written as 0.
bool WriteResolveCubeLut(const LutToWrite& lut, ByteSink& out);

// A .spi1d file: a 1D table with its input range (the same on every
// channel), values as in a .cube file.
bool WriteSpi1dLut(const LutToWrite& lut, ByteSink& out);
// A .spi3d file: a lattice over [0, 1] without a shaper, values as in a .cube file.
bool WriteSpi3dLut(const LutToWrite& lut, ByteSink& out);

// A Hald CLUT: a 16-bit RGB PNG of level L (a lattice of L² nodes per axis,
// 2 <= L <= 16), L³ by L³ pixels, red fastest. Values are clamped to [0, 1]
// and rounded to 65535 steps. Only a lattice over [0, 1] without a shaper.
bool WriteHaldClut(const LutTable& lattice, ByteSink& out);
// The level whose lattice has `size` nodes per axis, or 0 when size is no square of 2 to 16.
uint32_t HaldLevelForSize(uint32_t size);

// An ASC CDL ColorCorrection document: slope, offset, power, saturation 1,
// with `id` (escaped as XML text) as its id. False only when the sink fails.
struct CdlValues {
    double slope[3] = {1.0, 1.0, 1.0};
    double offset[3] = {0.0, 0.0, 0.0};
    double power[3] = {1.0, 1.0, 1.0};
};
bool WriteColorCorrection(const CdlValues& cdl, std::string_view id, ByteSink& out);

// The formats that OpenColorIO writes. Its baker samples the transform at
// the nodes of a lattice of latticeSize, or of the table's size, over
// [0, 1] (the input table of a cinespace or Truelight file spans [0, 1]
// evenly). CLF and CTF are process lists that hold the tables themselves as
// floats, each table whose input range is not 0 to 1 behind a matrix that
// maps the range onto it. A build without OpenColorIO writes none of them.
//
// Where the note of kWrittenByNote goes in a file that OpenColorIO writes.
enum class EOcioNote : uint8_t {
    eFirstLine,   // a comment line before everything (3DL, itx)
    eSecondLine,  // a comment line after the first (Truelight)
    eMetadata,    // the baker's metadata (cinespace)
    eDescription, // the process list's Description (CLF, CTF)
};
// How OpenColorIO writes one format: by its baker, or as a process list.
struct OcioWriting {
    const char* bakerFormat = nullptr;       // OpenColorIO's baker format ("flame")
    const char* processListFormat = nullptr; // or its process list format
    EOcioNote note = EOcioNote::eFirstLine;
};
bool WriteOcioLut(const OcioWriting& how, const LutToWrite& lut, ByteSink& out);
// Whether this build writes the formats above.
bool CanWriteOcioFormats();
