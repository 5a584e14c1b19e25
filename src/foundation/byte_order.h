#pragma once

#include <cstddef>
#include <cstdint>

// Unaligned loads of file fields in a given byte order.
inline uint32_t LoadLittleEndian32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

inline uint32_t LoadBigEndian32(const uint8_t* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

// Reverses the byte order of every word in place.
inline void SwapArray32(uint32_t* words, size_t count) {
    // Blocks of 16 words let the compiler use vector shuffles; the tail goes one by one.
    size_t i = 0;
    for (; i + 16 <= count; i += 16)
        for (size_t k = 0; k < 16; ++k)
            words[i + k] = __builtin_bswap32(words[i + k]);
    for (; i < count; ++i)
        words[i] = __builtin_bswap32(words[i]);
}
