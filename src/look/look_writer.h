#pragma once

#include "foundation/byte_sink.h"
#include "foundation/vx_string.h"

#include <cstdint>
#include <functional>

class CVxGradingParamStorage;
class CVxShapeMask;

// The CDL of a grading whose every channel goes through its own curve, from
// base sublayer 0 (a grading without a base counts as one whose parameters are
// all missing). False, with the outputs untouched, for any other grading.
bool ExtractCdl(const CVxGradingParamStorage& grading, double slope[3], double offset[3],
                double power[3]);

// Exact byte count of a LUT element named `element` that holds `entryCount`
// RGB entries and names `size` as its points per axis, so that a caller can
// reserve a whole document before writing it.
uint64_t LutElementLength(const char* element, uint32_t size, uint64_t entryCount);

// Waits until the first `bytes` bytes of a LUT's data are final, for a LUT
// still being rendered on another thread; false when they never will be.
using WaitForLutBytes = std::function<bool(uint64_t bytes)>;

// Writes a LUT element: `size`, then the entries (three 32-bit floats each,
// in the order given) as upper-case hex of their little-endian bytes, 32
// bytes per line. Each part of the data is read only once `waitFor`, when
// given, says it is final. False when the sink fails or the wait does.
bool WriteLutElement(ByteSink& out, const char* element, uint32_t size, const float* rgb,
                     uint64_t entryCount, const WaitForLutBytes& waitFor = {});

// True when the grading and mask can be written as a document that reads
// back as the same grading and mask: no quote inside a value, no name that is
// no tag, no number that is not finite, no text taken for a marker.
bool CanWriteLookDocument(const CVxGradingParamStorage& grading, const CVxShapeMask* mask);

// Writes a whole look document: the grading's layers, its CDL when it has
// one, the mask when it holds something, the 3D LUT of size3D points per axis
// (size3D^3 RGB entries in lut3D, red fastest) and, for a per-channel grading,
// the 1D LUT of size1D RGB entries in lut1D. A LUT whose size is 0 or whose
// data is null is left out. The LUT data is streamed, so a file sink never
// holds the document in memory. False, before anything is written, when the
// document cannot be written as it would read back; otherwise false when the
// sink fails. The 3D LUT may still be rendering: see WriteLutElement's waitFor.
bool WriteLookDocument(ByteSink& out, const CVxGradingParamStorage& grading,
                       const CVxShapeMask* mask, const float* lut3D, uint32_t size3D,
                       const float* lut1D, uint32_t size1D, const WaitForLutBytes& waitFor3D = {});
// The same into a string reserved once; `out` is replaced only when the whole
// document could be written (and fits into a string).
bool WriteLookDocument(CVxString& out, const CVxGradingParamStorage& grading,
                       const CVxShapeMask* mask, const float* lut3D, uint32_t size3D,
                       const float* lut1D, uint32_t size1D);

// Replaces `out` with the smallest look that applies one LUT file through
// the base, the file named without a folder.
void WriteLutWrapperLook(CVxString& out, const CVxString& lutFileName);
