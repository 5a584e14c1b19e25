#include "lut/cubrel_writer.h"

#include "foundation/file_contents.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void StoreBigEndian32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

void StoreBigEndian16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

uint16_t SizeExponent(uint32_t n) {
    uint32_t steps = n - 1;
    uint16_t exponent = 0;
    while (steps > 1) {
        steps /= 2;
        ++exponent;
    }
    return exponent;
}

} // namespace

size_t CubrelFileSize(uint32_t n) {
    return kCubrelHeaderSize + 4 * static_cast<size_t>(n) * n * n;
}

void PrepareCubrelHeader(uint8_t* buffer, uint32_t n) {
    std::memset(buffer, 0xFF, kCubrelHeaderSize);
    std::memset(buffer + 8, 0, 8);
    std::memset(buffer + 36, 0, 660 - 36);
    std::memset(buffer + 664, 0, 768 - 664);

    std::memcpy(buffer, "3LUT", 4);
    StoreBigEndian32(buffer + 4, static_cast<uint32_t>(kCubrelHeaderSize));
    std::memcpy(buffer + 8, "V1.0", 4);
    buffer[12] = 0;
    StoreBigEndian32(buffer + 16, static_cast<uint32_t>(CubrelFileSize(n)));
    StoreBigEndian16(buffer + 768, SizeExponent(n));
    StoreBigEndian16(buffer + 770, 1);
    StoreBigEndian32(buffer + 772, n * n * n);
}

uint32_t CubrelCode(float value) {
    // The negated comparison sends NaN to 0 along with the negatives.
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 1023;
    // Above 0.5 here, so truncation is the floor, without a library call.
    const float scaled = static_cast<float>(static_cast<double>(value) * 1023.0 + 0.5);
    return static_cast<uint32_t>(scaled);
}

// The file holds blue fastest, the lattice red fastest. A tile of neighbouring
// red entries at a time, through the lattice in its own order: the reads run
// through memory and the words written land in a set of output lines small
// enough to stay cached until they are full, instead of a jump of a whole
// blue slice for every word.
void PackCubrelLattice(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer) {
    constexpr uint32_t kRedTile = 16;
    uint8_t* out = buffer + kCubrelHeaderSize;
    for (uint32_t firstRed = 0; firstRed < n; firstRed += kRedTile) {
        const uint32_t endRed = std::min(n, firstRed + kRedTile);
        for (uint32_t b = 0; b < n; ++b) {
            for (uint32_t g = 0; g < n; ++g) {
                const float* entry =
                    lattice + ((static_cast<size_t>(b) * n + g) * n + firstRed) * channels;
                for (uint32_t r = firstRed; r < endRed; ++r, entry += channels) {
                    const uint32_t word = CubrelCode(entry[0]) << 20 |
                                          CubrelCode(entry[1]) << 10 | CubrelCode(entry[2]);
                    StoreBigEndian32(out + ((static_cast<size_t>(r) * n + g) * n + b) * 4, word);
                }
            }
        }
    }
}

bool WriteCubrelFile(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer,
                     const CVxString& path) {
    PackCubrelLattice(lattice, n, channels, buffer);
    return ReplaceFileContents(path, buffer, CubrelFileSize(n));
}
