#include "foundation/xml_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void AppendLeafStart(CVxString& out, uint32_t indent, const char* tag) {
    AppendXMLIndent(out, indent);
    out.Append('<');
    out.Append(tag);
    out.Append(">\"");
}

void AppendLeafEnd(CVxString& out, const char* tag) {
    out.Append("\"</");
    out.Append(tag);
    out.Append(">\n");
}

void WriteLeaf(CVxString& out, uint32_t indent, const char* tag, const char* text) {
    AppendLeafStart(out, indent, tag);
    out.Append(text);
    AppendLeafEnd(out, tag);
}

// A leaf whose value is formatted printf-style in the C locale.
template <typename... Values>
void WriteFormattedLeaf(CVxString& out, uint32_t indent, const char* tag, const char* format,
                        Values... values) {
    AppendLeafStart(out, indent, tag);
    AppendXMLFormat(out, format, values...);
    AppendLeafEnd(out, tag);
}

// Removes leading zeros before other digits, then trailing zeros after the
// point and a trailing point; "" becomes "0".
void TidyNumber(char* text) {
    char* digits = text[0] == '-' ? text + 1 : text;
    char* first = digits;
    while (first[0] == '0' && first[1] != '.' && first[1] != 0)
        ++first;
    if (first != digits)
        std::memmove(digits, first, std::strlen(first) + 1);
    if (std::strchr(digits, '.')) {
        size_t length = std::strlen(text);
        while (length > 0 && text[length - 1] == '0')
            text[--length] = 0;
        if (length > 0 && text[length - 1] == '.')
            text[--length] = 0;
    }
    if (text[0] == 0) {
        text[0] = '0';
        text[1] = 0;
    }
}

} // namespace

void AppendXMLFormat(CVxString& out, const char* format, ...) {
    char local[256];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(local, sizeof local, format, args);
    va_end(args);
    if (length < 0)
        return;
    if (static_cast<size_t>(length) < sizeof local) {
        out.Append(local, static_cast<uint32_t>(length));
        return;
    }
    std::vector<char> large(static_cast<size_t>(length) + 1);
    va_start(args, format);
    std::vsnprintf(large.data(), large.size(), format, args);
    va_end(args);
    out.Append(large.data(), static_cast<uint32_t>(length));
}

CVxString FormatXMLDecimal(double value, int places) {
    CVxString text;
    AppendXMLDecimal(text, value, places);
    return text;
}

void AppendXMLDecimal(CVxString& out, double value, int places) {
    char local[128];
    int length = std::snprintf(local, sizeof local, "%.*f", places, value);
    if (length >= 0 && static_cast<size_t>(length) < sizeof local) {
        TidyNumber(local);
        out.Append(local);
        return;
    }
    if (length < 0)
        return;
    std::vector<char> large(static_cast<size_t>(length) + 2);
    std::snprintf(large.data(), large.size(), "%.*f", places, value);
    TidyNumber(large.data());
    out.Append(large.data());
}

void AppendXMLIndent(CVxString& out, uint32_t indent) {
    for (uint32_t i = 0; i < indent; ++i)
        out.Append(' ');
}

void WriteXMLOpen(CVxString& out, uint32_t indent, const char* tag) {
    AppendXMLIndent(out, indent);
    out.Append('<');
    out.Append(tag);
    out.Append(">\n");
}

void WriteXMLClose(CVxString& out, uint32_t indent, const char* tag) {
    AppendXMLIndent(out, indent);
    out.Append("</");
    out.Append(tag);
    out.Append(">\n");
}

void WriteXMLText(CVxString& out, uint32_t indent, const char* tag, const char* text) {
    WriteLeaf(out, indent, tag, text);
}

void WriteXMLText(CVxString& out, uint32_t indent, const char* tag, const CVxString& text) {
    AppendLeafStart(out, indent, tag);
    out.Append(text);
    AppendLeafEnd(out, tag);
}

void WriteXMLInt(CVxString& out, uint32_t indent, const char* tag, int32_t value) {
    WriteFormattedLeaf(out, indent, tag, "%d", value);
}

void WriteXMLUInt(CVxString& out, uint32_t indent, const char* tag, uint32_t value) {
    WriteFormattedLeaf(out, indent, tag, "%u", value);
}

void WriteXMLInt64(CVxString& out, uint32_t indent, const char* tag, int64_t value) {
    WriteFormattedLeaf(out, indent, tag, "%lld", static_cast<long long>(value));
}

void WriteXMLUInt64(CVxString& out, uint32_t indent, const char* tag, uint64_t value) {
    WriteFormattedLeaf(out, indent, tag, "%llu", static_cast<unsigned long long>(value));
}

void WriteXMLBool(CVxString& out, uint32_t indent, const char* tag, bool value) {
    WriteLeaf(out, indent, tag, value ? "1" : "0");
}

void WriteXMLDecimal(CVxString& out, uint32_t indent, const char* tag, double value, int places) {
    AppendLeafStart(out, indent, tag);
    AppendXMLDecimal(out, value, places);
    AppendLeafEnd(out, tag);
}

void WriteXMLDouble2(CVxString& out, uint32_t indent, const char* tag, const double value[2]) {
    WriteFormattedLeaf(out, indent, tag, "%g,%g", value[0], value[1]);
}

void WriteXMLDouble3(CVxString& out, uint32_t indent, const char* tag, const double value[3]) {
    WriteFormattedLeaf(out, indent, tag, "%g,%g,%g", value[0], value[1], value[2]);
}

void WriteXMLFloat4(CVxString& out, uint32_t indent, const char* tag, const float value[4]) {
    WriteFormattedLeaf(out, indent, tag, "%g, %g, %g, %g", value[0], value[1], value[2], value[3]);
}

void WriteXMLInt2(CVxString& out, uint32_t indent, const char* tag, const int32_t value[2]) {
    WriteFormattedLeaf(out, indent, tag, "%i,%i", value[0], value[1]);
}

void WriteXMLInt4(CVxString& out, uint32_t indent, const char* tag, const int32_t value[4]) {
    WriteFormattedLeaf(out, indent, tag, "%i,%i,%i,%i", value[0], value[1], value[2], value[3]);
}

void WriteXMLColor(CVxString& out, uint32_t indent, const char* tag, uint32_t argb) {
    int alpha = static_cast<int>(argb >> 24);
    int red = static_cast<int>((argb >> 16) & 0xFF);
    int green = static_cast<int>((argb >> 8) & 0xFF);
    int blue = static_cast<int>(argb & 0xFF);
    if (alpha == 255)
        WriteFormattedLeaf(out, indent, tag, "%i,%i,%i", red, green, blue);
    else
        WriteFormattedLeaf(out, indent, tag, "%i,%i,%i,%i", red, green, blue, alpha);
}
