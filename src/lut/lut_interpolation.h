#pragma once

#include <cstdint>

// The interpolation steps of CVxLUT::Apply, shared with the code that
// evaluates a LUT at many inputs at once so that both give the same bits.

// Each interpolation step is evaluated in double precision and rounded to
// float once, when its result is stored; three float roundings would differ
// in the last bit.
inline float LerpFloat(float a, float b, float f) {
    return static_cast<float>((static_cast<double>(b) - a) * f + a);
}

// Cell index and fraction of one channel, the input clamped to the domain at
// both ends. Below the domain the fraction must not go negative: truncation
// toward zero alone would extrapolate from the first cell.
inline void LocateCell(float t, uint32_t size, uint32_t& index, float& fraction) {
    const float last = static_cast<float>(size - 1);
    if (t >= last) {
        index = size - 2;
        fraction = 1.0f;
        return;
    }
    if (!(t > 0.0f)) { // also catches NaN
        index = 0;
        fraction = 0.0f;
        return;
    }
    const int whole = static_cast<int>(t);
    index = static_cast<uint32_t>(whole);
    fraction = t - static_cast<float>(whole);
}
