#include "lut/cubrel_writer.h"

#include "foundation/parallel_bands.h"
#include "platform/large_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

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

namespace {

// The code of CubrelCode, inlined into the packing loops so that they vectorise.
inline uint32_t Code(float value) {
    // Selects rather than branches, so that a run of codes vectorises. NaN fails
    // the comparison and goes to 0 with the negatives; 0 gives 0.5 and 1 gives
    // 1023.5, so every clamped value lands at 0.5 or above, where truncation is
    // the floor. The conversion is signed because processors convert vectors
    // of floats only to signed integers.
    const float clamped = std::min(value > 0.0f ? value : 0.0f, 1.0f);
    return static_cast<uint32_t>(
        static_cast<int32_t>(static_cast<float>(static_cast<double>(clamped) * 1023.0 + 0.5)));
}

constexpr uint32_t kTile = 16;
// Below this size a lattice packs in less time than a thread takes to start.
constexpr uint32_t kSmallestParallelSize = 64;

// Every float of the run is coded in one loop over contiguous memory, which
// vectorises whatever the entries' stride; the words are then put together
// from the codes of each entry's first three floats.
template <uint32_t kChannels> void CodeRun(const float* entry, uint32_t count, uint32_t* words) {
    uint32_t codes[kTile * kChannels];
    for (uint32_t i = 0; i < count * kChannels; ++i)
        codes[i] = Code(entry[i]);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t* code = codes + i * kChannels;
        words[i] = code[0] << 20 | code[1] << 10 | code[2];
    }
}

// The file holds blue fastest, the lattice red fastest: a transposition, done
// a tile of 16 blues by 16 reds at a time. Each tile's codes are formed in one
// vectorised run per blue, and every run of 16 words written fills one cache
// line of the output. Packs the words of reds [firstRed, endRed) into `out`,
// where the file's words of red firstRed begin; those of a red are contiguous,
// so any range of reds is a contiguous part of the file.
template <uint32_t kChannels>
void PackReds(const float* lattice, uint32_t n, uint32_t firstRed, uint32_t endRed, uint8_t* out) {
    uint32_t words[kTile][kTile]; // [blue][red]
    for (uint32_t tileRed = firstRed; tileRed < endRed; tileRed += kTile) {
        const uint32_t reds = std::min(kTile, endRed - tileRed);
        for (uint32_t g = 0; g < n; ++g) {
            for (uint32_t firstBlue = 0; firstBlue < n; firstBlue += kTile) {
                const uint32_t blues = std::min(kTile, n - firstBlue);
                for (uint32_t b = 0; b < blues; ++b) {
                    const size_t row = static_cast<size_t>(firstBlue + b) * n + g;
                    CodeRun<kChannels>(lattice + (row * n + tileRed) * kChannels, reds, words[b]);
                }
                for (uint32_t r = 0; r < reds; ++r) {
                    const size_t column = static_cast<size_t>(tileRed - firstRed + r) * n + g;
                    uint8_t* run = out + (column * n + firstBlue) * 4;
                    for (uint32_t b = 0; b < blues; ++b)
                        StoreBigEndian32(run + b * 4, words[b][r]);
                }
            }
        }
    }
}

void PackRedsOf(const float* lattice, uint32_t n, uint32_t channels, uint32_t firstRed,
                uint32_t endRed, uint8_t* out) {
    if (channels == 3)
        PackReds<3>(lattice, n, firstRed, endRed, out);
    else
        PackReds<4>(lattice, n, firstRed, endRed, out);
}

size_t RedBytes(uint32_t n) {
    return static_cast<size_t>(n) * n * 4;
}

// Packs reds [firstRed, endRed) into `out`, where the words of red firstRed
// go, on several threads for a large lattice. Each band of reds writes words
// of its own, so the bytes do not depend on how the reds are split.
void PackRedsInBands(const float* lattice, uint32_t n, uint32_t channels, uint32_t firstRed,
                     uint32_t endRed, uint8_t* out) {
    const uint32_t threads = n >= kSmallestParallelSize ? DefaultThreadCount() : 1;
    ParallelBands(endRed - firstRed, threads, [&](uint32_t, uint32_t first, uint32_t end) {
        PackRedsOf(lattice, n, channels, firstRed + first, firstRed + end,
                   out + first * RedBytes(n));
    });
}

// Memory that std::free releases; large pages keep its first touch cheap.
struct FreeMemory {
    void operator()(uint8_t* memory) const { std::free(memory); }
};

} // namespace

uint32_t CubrelCode(float value) {
    return Code(value);
}

void PackCubrelLattice(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer) {
    PackRedsInBands(lattice, n, channels, 0, n, buffer + kCubrelHeaderSize);
}

// The words go out a slab of reds at a time, each packed while the one
// before is being written: packing and the copy into the file overlap, and
// the slabs' memory is reused, so the run touches a few megabytes of fresh
// memory instead of the whole file's (every fresh page costs a fault). Only
// the header of `buffer` is read.
bool WriteCubrelFile(const float* lattice, uint32_t n, uint32_t channels, uint8_t* buffer,
                     FileOutput& out) {
    // A tile of reds for each thread that packs a slab.
    const uint32_t slabReds = n >= kSmallestParallelSize ? kTile * DefaultThreadCount() : n;
    const size_t slabBytes = slabReds * RedBytes(n);
    const std::unique_ptr<uint8_t, FreeMemory> slabs(
        static_cast<uint8_t*>(platform::AllocateLargeBuffer(2 * slabBytes)));
    if (!slabs || !out.Append(buffer, kCubrelHeaderSize))
        return false;
    const size_t slabCount = (n + slabReds - 1) / slabReds;
    auto redsOf = [&](size_t slab, uint32_t& first, uint32_t& end) {
        first = static_cast<uint32_t>(slab) * slabReds;
        end = std::min(n, first + slabReds);
    };
    return PipelineChunks(
               slabCount,
               [&](size_t slab, int slot) {
                   uint32_t first = 0, end = 0;
                   redsOf(slab, first, end);
                   PackRedsInBands(lattice, n, channels, first, end,
                                   slabs.get() + slot * slabBytes);
               },
               [&](size_t slab, int slot) {
                   uint32_t first = 0, end = 0;
                   redsOf(slab, first, end);
                   return out.Append(slabs.get() + slot * slabBytes, (end - first) * RedBytes(n));
               }) &&
           out.Commit();
}
