#pragma once

#include "lut/lut.h"

#include <cstddef>
#include <cstdint>

// Result of one format reader inside Load: the file's table was read, the
// format was recognised but the file is bad, or the reader hands the file on
// to the next test in the recognition order.
enum class EReaderResult { eLoaded, eFailed, eNotRecognised };

// Every reader takes the whole file in memory. On anything but eLoaded the
// LUT is left cleared with no pre-LUT. `upsample` is the effective
// upsampling flag of Load.
EReaderResult ReadVxtxLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample);
EReaderResult ReadCubrelLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample);
EReaderResult ReadLookLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample);
EReaderResult ReadCubeLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample);
EReaderResult ReadTruelightLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample);
EReaderResult Read3dlLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample);
