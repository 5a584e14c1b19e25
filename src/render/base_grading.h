#pragma once

#include <cstdint>

class ShaderScript;

// The working values of a base grading layer that its two passes use, read by
// name from the script state once per layer. Tonal ranges are indexed low, mid,
// high; secondaries 1 to 6 as 0 to 5; the per-group vectors (saturation123 and
// saturation456, invert.., blur.., normBlur..) are laid out as six values,
// x, y, z of the first group, then of the second.
template <typename T> struct BaseGradingValuesOf {
    T matrix[3][4];        // output red, green, blue: weights of r, g, b, then the added w
    T picking;             // read, but no effect on the pixels
    T saturationLMH[3];    // already multiplied by the overall saturation
    T luminance[3];        // weights of r, g, b in Y
    T gamma[3][3];         // gammaLow, gammaMid, gammaHigh
    T gain[3][3];          // gainLow..gainHigh, the primary gain folded in
    T offset[3][3];        // offsetLow..offsetHigh, the primary offset folded in
    T secondaryGain[6][3]; // gain1..gain6
    T secondaryOffset[6][3];
    T secondarySaturation[6];
    T invert[6];
    T blur[6];
    T normBlur[6];
    T grayOut[6];      // GrayOut1..GrayOut6 as the layer set them
    T grayOutColor[3]; // what the remainder of a gray-out grading becomes
    T neutralGray;     // as a fraction
};
using BaseGradingValues = BaseGradingValuesOf<float>;

// Which parts of the grading do something. Each flag is the negation of an
// identity test with a tolerance of 1e-9 on the script's double values.
struct BaseGradingParts {
    bool matrix = false;
    bool tonalSplit = false;  // the tonal ranges differ in saturation, gain, offset or gamma
    bool gamma[3] = {};       // per tonal range: some component is not 1
    bool singleRange = false; // saturationLMH, gainLow or offsetLow is not an identity
    bool secondaries[2] = {}; // groups 1-3 and 4-6
    bool invert[2] = {};
    bool blur = false;     // some component of blur123 or blur456 is not 0
    bool wideBlur = false; // ... exceeds 1: the 5x5 kernel
    bool grayOut = false;  // exactly one group has all three GrayOut in (0.5, 2.5)
    bool picking = false;
};

// A null script gives the defaults, for which every part is an identity.
BaseGradingValues ReadBaseGradingValues(const ShaderScript* script);
BaseGradingParts FindBaseGradingParts(const ShaderScript* script);
