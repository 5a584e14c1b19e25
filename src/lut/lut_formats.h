#pragma once

#include "lut/lut.h"
#include "lut/lut_files.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Result of one format reader inside Load: the file's table was read, the
// format was recognised but the file is bad, or the reader hands the file on
// to the next test in the recognition order.
enum class EReaderResult : uint8_t { eLoaded, eFailed, eNotRecognised };

using EDimensionRequirement = CVxLUT::EDimensionRequirement;

// Every reader takes the whole file in memory. On anything but eLoaded the
// LUT is left cleared with no pre-LUT. `upsample` is the effective
// upsampling flag of Load; a reader refuses a table of the dimensionality
// that `requirement` excludes. A 3DL result of eNotRecognised hands the file
// on to the curve fallback.
using LutReader = EReaderResult(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                                EDimensionRequirement requirement);
LutReader ReadVxtxLut, ReadCubrelLut, ReadLookLut, ReadCubeLut, ReadTruelightLut, Read3dlLut;

// Imageworks 1D and 3D tables: eLoaded for exactly the files that OpenColorIO
// reads as such, with its values (eFailed when `requirement` refuses what was
// read); eNotRecognised for every other file, which is then OpenColorIO's to
// read or refuse.
LutReader ReadSpi1dLut, ReadSpi3dLut;

// Discreet 1D tables ("LUT: 3 1024"): a reader that also takes the file's
// base name, whose first "to" may give the output depth ("logto12").
using NamedLutReader = EReaderResult(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                                     EDimensionRequirement requirement, std::string_view baseName);
NamedLutReader ReadDiscreet1dLut;

// Some line of the text before the first NUL byte (after a byte-order mark)
// is neither blank nor a comment. A file without one holds nothing to read.
bool TextHoldsData(const uint8_t* data, size_t size);

// A reader that opens the file itself, by its resolved path, through the run's
// files; true only when the table was read. On failure the LUT is left cleared
// with no pre-LUT.
using LutPathReader = bool(CVxLUT& lut, const LutFiles& source, const CVxString& path,
                           bool upsample, EDimensionRequirement requirement);

// The last resort for a .lut file that no reader and no curve set takes:
// OpenColorIO, which chooses among its own formats. Refuses other extensions.
LutPathReader ReadUnrecognisedLutThroughOcio;

// The first four bytes are the Cubrel magic in either byte order ("3LUT" or "TUL3").
bool HasCubrelMagic(const uint8_t* data, size_t size);
// A look document: the first 1024 bytes, trimmed, begin with "<?xml" (any
// case) and contain "<look>" after it.
bool LooksLikeLookDocument(const uint8_t* data, size_t size);

// Samples a curve set read from the file into a 1024-entry 1D table, never
// upsampled; the last resort of Load for files that no LUT format recognises.
// A requirement of a 3D table refuses it. Never eFailed: a file that is no
// curve set goes on to the next last resort.
LutReader ReadCurveSetLut;

// One line of ascending 3DL input code values. Even values size the lattice;
// uneven ones also give it a 1D pre-LUT onto the texel centres of its nodes,
// where `upsample` will move them. A lenient reading ignores a line that is
// not ascending integers (true, nothing changed); a strict one fails on it.
// On failure the lattice may be left as it was.
bool Read3dlShaperLine(CVxLUT& lut, const char* line, size_t length, bool upsample, bool lenient);
