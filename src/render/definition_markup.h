#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

// The start tag of one element of the shader definition language: its name and
// its attributes, whose values stand in double quotes or bare.
struct DefinitionElement {
    std::string_view name;
    std::vector<std::pair<std::string_view, std::string_view>> attributes;

    // The value of an attribute named in any letter case; null when absent.
    const std::string_view* Find(std::string_view attribute) const;
    std::string_view Get(std::string_view attribute, std::string_view fallback = {}) const {
        const std::string_view* value = Find(attribute);
        return value ? *value : fallback;
    }
    bool Has(std::string_view attribute) const { return Find(attribute) != nullptr; }
};

// Walks definition markup one start tag at a time. End tags, "<!-- -->"
// comments and other constructs opening with "<!" or "<?" are skipped.
class DefinitionMarkup {
public:
    DefinitionMarkup(const char* text, size_t length) : m_pos(text), m_end(text + length) {}

    // The next start tag; false at the end of the text.
    bool Next(DefinitionElement& element);

    // The text from the current place up to the end tag of `name` ("</", the
    // name in any letter case, optional blanks, ">"), or to the end of the text;
    // the walk goes on after that end tag.
    std::string_view TakeContentUntilEndTag(std::string_view name);

    // Where the walk stands.
    const char* Position() const { return m_pos; }

private:
    void SkipPast(std::string_view text);
    void ReadAttributes(DefinitionElement& element);
    std::string_view ReadValue();

    const char* m_pos;
    const char* m_end;
};
