#include "inspect/json_writer.h"

#include "inspect/text_forms.h"

#include <charconv>
#include <cmath>

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_empty.empty()) {
        if (!m_empty.back())
            m_text += ',';
        m_empty.back() = false;
    }
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    m_text += '{';
    m_empty.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_text += '}';
    m_empty.pop_back();
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    m_text += '[';
    m_empty.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_text += ']';
    m_empty.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    Quoted(name);
    m_text += ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    BeforeValue();
    Quoted(text);
    return *this;
}

template <typename T> static void AppendShortest(std::string& out, T value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

JsonWriter& JsonWriter::Number(double value) {
    if (!std::isfinite(value))
        return Null();
    BeforeValue();
    AppendShortest(m_text, value);
    return *this;
}

JsonWriter& JsonWriter::Number(float value) {
    if (!std::isfinite(value))
        return Null();
    BeforeValue();
    AppendShortest(m_text, value);
    return *this;
}

JsonWriter& JsonWriter::Number(uint64_t value) {
    BeforeValue();
    AppendShortest(m_text, value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    m_text += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    m_text += "null";
    return *this;
}

void JsonWriter::Quoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    m_text += '"';
    for (size_t pos = 0; pos < text.size();) {
        const uint32_t code = NextCodePoint(text, pos);
        switch (code) {
        case '"':
            m_text += "\\\"";
            break;
        case '\\':
            m_text += "\\\\";
            break;
        case '\b':
            m_text += "\\b";
            break;
        case '\f':
            m_text += "\\f";
            break;
        case '\n':
            m_text += "\\n";
            break;
        case '\r':
            m_text += "\\r";
            break;
        case '\t':
            m_text += "\\t";
            break;
        case kNotUtf8:
            m_text += "\\ufffd";
            break;
        default:
            if (code < 0x20) {
                m_text += "\\u00";
                m_text += kHex[code >> 4];
                m_text += kHex[code & 15];
            } else {
                AppendUtf8(m_text, code);
            }
        }
    }
    m_text += '"';
}
