#include "lut/lut_formats.h"

#include "foundation/byte_order.h"

#include <cstring>

namespace {

constexpr size_t kMarkerOffset = 660;
constexpr size_t kExponentOffset = 768;
constexpr size_t kDataOffsetField = 4;
constexpr size_t kMinimumFileSize = 809;

inline uint32_t LoadWord(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBigEndian32(p) : LoadLittleEndian32(p);
}

inline uint16_t LoadHalf(const uint8_t* p, bool bigEndian) {
    return bigEndian ? static_cast<uint16_t>((p[0] << 8) | p[1])
                     : static_cast<uint16_t>((p[1] << 8) | p[0]);
}

// code / 1023 for every value a 12-bit red field or a 10-bit field can hold;
// the same bits as dividing each time.
struct CodeTable {
    float values[4096];
    CodeTable() {
        for (uint32_t i = 0; i < 4096; ++i)
            values[i] = static_cast<float>(i) / 1023.0f;
    }
};

const CodeTable& Codes() {
    static const CodeTable table;
    return table;
}

} // namespace

bool HasCubrelMagic(const uint8_t* data, size_t size) {
    return size >= 4 && (std::memcmp(data, "3LUT", 4) == 0 || std::memcmp(data, "TUL3", 4) == 0);
}

EReaderResult ReadCubrelLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                            EDimensionRequirement requirement) {
    if (size < kMinimumFileSize || !HasCubrelMagic(data, size))
        return EReaderResult::eNotRecognised;
    if (LoadWord(data + kMarkerOffset, true) != 0xFFFFFFFFu ||
        requirement == EDimensionRequirement::eOnly1D)
        return EReaderResult::eFailed;
    const bool bigEndian = data[0] == '3';
    const uint32_t exponent = LoadHalf(data + kExponentOffset, bigEndian);
    // Beyond 7 the lattice would pass 256 points per axis, which Create refuses.
    if (exponent > 7)
        return EReaderResult::eFailed;
    // A short file is refused before its lattice is allocated: a small header
    // must not cost a 256-point lattice.
    const uint64_t n = (uint64_t(1) << exponent) + 1;
    const uint64_t offset = LoadWord(data + kDataOffsetField, bigEndian);
    if (offset + n * n * n * 4 > size || !lut.Create(uint32_t(n), true))
        return EReaderResult::eFailed;
    const float* codes = Codes().values;
    const uint8_t* word = data + offset;
    // File order is blue fastest, red slowest; the table's own order is red fastest.
    for (size_t r = 0; r < n; ++r) {
        for (size_t g = 0; g < n; ++g) {
            float* entry = lut.m_data + (g * n + r) * 4;
            for (size_t b = 0; b < n; ++b, word += 4, entry += lut.m_blueStride) {
                const uint32_t w = LoadWord(word, bigEndian);
                entry[0] = codes[w >> 20];
                entry[1] = codes[(w >> 10) & 0x3FF];
                entry[2] = codes[w & 0x3FF];
                entry[3] = 1.0f;
            }
        }
    }
    if (upsample)
        lut.UpsampleToPowerOfTwo(256);
    lut.SetDomainUniform(0.0f, 1.0f);
    return EReaderResult::eLoaded;
}
