#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builds one JSON text. Strings are escaped in full (control characters as
// \n, \t, ... or \u00XX; bytes that are not UTF-8 as \ufffd); numbers take the
// shortest form that reads back to the same value, in the C locale; a number
// that is not finite is written as null. The caller keeps keys and values in
// turn inside objects; the writer adds the commas and colons.
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view text);
    JsonWriter& Number(double value);
    JsonWriter& Number(float value); // shortest for a float: 0.1f is 0.1
    JsonWriter& Number(uint64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    const std::string& Text() const { return m_text; }

private:
    void BeforeValue();
    void Quoted(std::string_view text);

    std::string m_text;
    // Per open object or array: whether it holds nothing yet.
    std::vector<bool> m_empty;
    bool m_afterKey = false;
};
