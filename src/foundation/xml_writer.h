#pragma once

#include "foundation/vx_string.h"

#include <cstdint>

// Writing forms of the XML dialect. A leaf is `indent` spaces, <tag>, the value
// in double quotes, </tag> and a line break; a container is <tag> on its own
// line, its children at indent + 2, then </tag>. Numbers use the C locale.

// Fixed-point with `places` decimals, then tidied: leading zeros before other
// digits, trailing zeros after the point and a trailing point removed; an
// empty result becomes "0" (0.5 -> "0.5", 2.0 -> "2", 0.3f at 15 -> "0.300000011920929").
CVxString FormatXMLDecimal(double value, int places);
void AppendXMLDecimal(CVxString& out, double value, int places);

void AppendXMLIndent(CVxString& out, uint32_t indent);
void WriteXMLOpen(CVxString& out, uint32_t indent, const char* tag);
void WriteXMLClose(CVxString& out, uint32_t indent, const char* tag);

void WriteXMLText(CVxString& out, uint32_t indent, const char* tag, const char* text);
void WriteXMLText(CVxString& out, uint32_t indent, const char* tag, const CVxString& text);
void WriteXMLInt(CVxString& out, uint32_t indent, const char* tag, int32_t value);
void WriteXMLUInt(CVxString& out, uint32_t indent, const char* tag, uint32_t value);
void WriteXMLInt64(CVxString& out, uint32_t indent, const char* tag, int64_t value);
void WriteXMLUInt64(CVxString& out, uint32_t indent, const char* tag, uint64_t value);
void WriteXMLBool(CVxString& out, uint32_t indent, const char* tag, bool value);
void WriteXMLDecimal(CVxString& out, uint32_t indent, const char* tag, double value, int places);
// "%g,%g" and "%g,%g,%g".
void WriteXMLDouble2(CVxString& out, uint32_t indent, const char* tag, const double value[2]);
void WriteXMLDouble3(CVxString& out, uint32_t indent, const char* tag, const double value[3]);
// "%g, %g, %g, %g".
void WriteXMLFloat4(CVxString& out, uint32_t indent, const char* tag, const float value[4]);
// "%i,%i" and "%i,%i,%i,%i".
void WriteXMLInt2(CVxString& out, uint32_t indent, const char* tag, const int32_t value[2]);
void WriteXMLInt4(CVxString& out, uint32_t indent, const char* tag, const int32_t value[4]);
// An 8-bit colour 0xAARRGGBB: "r,g,b" when alpha is 255, else "r,g,b,a".
void WriteXMLColor(CVxString& out, uint32_t indent, const char* tag, uint32_t argb);

// printf-style append in the C locale, with no length limit.
void AppendXMLFormat(CVxString& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
