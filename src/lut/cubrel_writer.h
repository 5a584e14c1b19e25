#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>

// The Cubrel header is fixed at 1024 bytes; the lattice words follow it.
constexpr size_t kCubrelHeaderSize = 1024;

// Header plus 4 bytes per lattice point for a lattice of n points per axis.
size_t CubrelFileSize(uint32_t n);

// Fills the first 1024 bytes of buffer with the big-endian header for size n.
// The buffer must hold CubrelFileSize(n) bytes.
void PrepareCubrelHeader(uint8_t* buffer, uint32_t n);

// Quantises one channel value to a 10-bit code: clamped to [0, 1] (NaN gives 0),
// scaled by 1023, rounded half up in single precision.
uint32_t CubrelCode(float value);

// Packs the lattice (red fastest, `channels` floats per entry, 3 or 4, the
// first three used) into the words after the header, blue fastest, big-endian.
void PackCubrelLattice(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer);

// Writes the header that `buffer` begins with (see PrepareCubrelHeader), then
// the lattice packed as PackCubrelLattice packs it, into the output, which it
// commits. A failed write leaves any old file whole.
bool WriteCubrelFile(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer,
                     FileOutput& out);
