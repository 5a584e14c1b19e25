#include "lut/cubrel_writer.h"

#include "foundation/parallel_bands.h"

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
    // Selects rather than branches, so that a run of codes vectorises. NaN fails
    // the comparison and goes to 0 with the negatives; 0 gives 0.5 and 1 gives
    // 1023.5, so every clamped value lands at 0.5 or above, where truncation is
    // the floor. The conversion is signed because processors convert vectors
    // of floats only to signed integers.
    const float clamped = std::min(value > 0.0f ? value : 0.0f, 1.0f);
    return static_cast<uint32_t>(
        static_cast<int32_t>(static_cast<float>(static_cast<double>(clamped) * 1023.0 + 0.5)));
}

namespace {

constexpr uint32_t kTile = 16;
// Below this size a lattice packs in less time than a thread takes to start.
constexpr uint32_t kSmallestParallelSize = 64;

// The channels are first gathered into rows of their own: codes formed from
// contiguous floats vectorise whatever the entries' stride.
template <uint32_t kChannels> void CodeRun(const float* entry, uint32_t count, uint32_t* words) {
    float red[kTile], green[kTile], blue[kTile];
    for (uint32_t i = 0; i < count; ++i, entry += kChannels) {
        red[i] = entry[0];
        green[i] = entry[1];
        blue[i] = entry[2];
    }
    for (uint32_t i = 0; i < count; ++i)
        words[i] = CubrelCode(red[i]) << 20 | CubrelCode(green[i]) << 10 | CubrelCode(blue[i]);
}

// The file holds blue fastest, the lattice red fastest: a transposition, done
// a tile of 16 blues by 16 reds at a time. Each blue row is read from start to
// end, each tile's codes are formed in one vectorised run per row, and every
// run of 16 words written fills one cache line of the output.
template <uint32_t kChannels>
void PackTransposed(const float* lattice, uint32_t n, uint32_t firstGreen, uint32_t endGreen,
                    uint8_t* out) {
    uint32_t words[kTile][kTile]; // [blue][red]
    for (uint32_t g = firstGreen; g < endGreen; ++g) {
        for (uint32_t firstBlue = 0; firstBlue < n; firstBlue += kTile) {
            const uint32_t blues = std::min(kTile, n - firstBlue);
            for (uint32_t firstRed = 0; firstRed < n; firstRed += kTile) {
                const uint32_t reds = std::min(kTile, n - firstRed);
                for (uint32_t b = 0; b < blues; ++b) {
                    const size_t row = static_cast<size_t>(firstBlue + b) * n + g;
                    CodeRun<kChannels>(lattice + (row * n + firstRed) * kChannels, reds, words[b]);
                }
                for (uint32_t r = 0; r < reds; ++r) {
                    const size_t column = static_cast<size_t>(firstRed + r) * n + g;
                    uint8_t* run = out + (column * n + firstBlue) * 4;
                    for (uint32_t b = 0; b < blues; ++b)
                        StoreBigEndian32(run + b * 4, words[b][r]);
                }
            }
        }
    }
}

} // namespace

void PackCubrelLattice(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer) {
    uint8_t* out = buffer + kCubrelHeaderSize;
    // Each band of greens writes words of its own, so the bytes do not depend
    // on how the lattice is split.
    const uint32_t threads = n >= kSmallestParallelSize ? DefaultThreadCount() : 1;
    ParallelBands(n, threads, [&](uint32_t, uint32_t firstGreen, uint32_t endGreen) {
        if (channels == 3)
            PackTransposed<3>(lattice, n, firstGreen, endGreen, out);
        else
            PackTransposed<4>(lattice, n, firstGreen, endGreen, out);
    });
}

bool WriteCubrelFile(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer,
                     FileOutput& out) {
    PackCubrelLattice(lattice, n, channels, buffer);
    return out.Append(buffer, CubrelFileSize(n)) && out.Commit();
}
