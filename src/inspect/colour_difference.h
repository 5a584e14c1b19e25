#pragma once

// CIELAB and CIEDE2000 for comparing RGB values as a viewer sees them.

struct Lab {
    double L = 0.0, a = 0.0, b = 0.0;
};

// RGB values read as sRGB-encoded display values (IEC 61966-2-1): decoded with
// the standard's piecewise curve, taken to XYZ with its matrix, then to CIELAB
// relative to the same D65 white the matrix maps RGB 1, 1, 1 to, so that every
// grey has a = b = 0. Values are expected in [0, 1]; the result is within 1e-9
// of the exact conversion.
Lab SrgbToLab(double r, double g, double b);

// The CIEDE2000 colour difference with kL = kC = kH = 1, as Sharma, Wu and Dalal
// (2005) set it out, hue-angle edge cases included.
double DeltaE2000(const Lab& first, const Lab& second);
