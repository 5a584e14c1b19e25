#pragma once

#include <cfloat>
#include <cstdint>

// Parsers of leaf values of the XML dialect. Each converts the whole text and
// leaves the target unchanged when the text does not convert, has characters
// left over or lies outside [lo, hi]; element readers then keep their default.

// Decimal digits only.
bool ParseXMLUInt32(const char* text, uint32_t& out, uint32_t lo = 0, uint32_t hi = UINT32_MAX);
// An optional sign, then decimal digits.
bool ParseXMLInt32(const char* text, int32_t& out, int32_t lo = INT32_MIN, int32_t hi = INT32_MAX);
// The 64-bit reading of the string class: the leading number of the text,
// whatever follows it, 0 when there is none; only the range can fail.
bool ParseXMLInt64(const char* text, int64_t& out, int64_t lo = INT64_MIN, int64_t hi = INT64_MAX);
// An optional sign, digits with an optional decimal point, an optional
// exponent. Always read in the C locale; a number too small for a double
// reads as zero.
bool ParseXMLDouble(const char* text, double& out, double lo = -DBL_MAX, double hi = DBL_MAX);
// As ParseXMLDouble, rounded to single precision.
bool ParseXMLFloat(const char* text, float& out);
// "1", "true", "on", "yes" and "0", "false", "off", "no"; the words in any case.
bool ParseXMLBool(const char* text, bool& out);
// A colour of one to four comma-separated decimals, with spaces or tabs around
// each: one sets R, G and B; two set R, G, B to the first and A to the second;
// three set R, G, B; four set R, G, B, A. A is 1 when not given. Fails on a
// component that does not parse or on more than four.
bool ParseXMLColor(const char* text, float out[4]);
