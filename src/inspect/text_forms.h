#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The ways the inspection texts spell things: UTF-8 taken apart, HTML text,
// base64 and fixed decimals, each independent of the locale.

inline constexpr uint32_t kNotUtf8 = 0xFFFFFFFFu;

// The code point that starts at text[pos], moving pos past it. A byte that
// does not start a well-formed sequence (overlong forms, surrogates and values
// above U+10FFFF are not) gives kNotUtf8 and moves pos by one.
uint32_t NextCodePoint(std::string_view text, size_t& pos);

// Appends a code point as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

// Text for HTML content or a quoted attribute: & < > " ' as references, bytes
// that are not UTF-8 and control characters other than tab and line feed as
// U+FFFD.
std::string EscapeHtml(std::string_view text);

// Standard base64 with padding, no line breaks.
std::string Base64(std::string_view bytes);

// The value with `decimals` decimals, rounded to nearest: "0.1250", "inf", "nan".
std::string FixedDecimal(double value, int decimals);
