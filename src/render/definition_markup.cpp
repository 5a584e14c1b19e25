#include "render/definition_markup.h"

#include "platform/ascii.h"

#include <cstring>

const std::string_view* DefinitionElement::Find(std::string_view attribute) const {
    for (const auto& [attributeName, value] : attributes)
        if (ascii::EqualsNoCase(attributeName, attribute))
            return &value;
    return nullptr;
}

bool DefinitionMarkup::Next(DefinitionElement& element) {
    element.attributes.clear();
    for (;;) {
        const char* open =
            static_cast<const char*>(std::memchr(m_pos, '<', static_cast<size_t>(m_end - m_pos)));
        if (!open)
            return false;
        m_pos = open + 1;
        std::string_view rest(m_pos, static_cast<size_t>(m_end - m_pos));
        if (rest.starts_with("!--")) {
            SkipPast("-->");
            continue;
        }
        if (!rest.empty() && (rest[0] == '/' || rest[0] == '!' || rest[0] == '?')) {
            SkipPast(">");
            continue;
        }
        const char* nameStart = m_pos;
        while (m_pos < m_end && !ascii::IsBlankOrBreak(*m_pos) && *m_pos != '>' && *m_pos != '/')
            ++m_pos;
        element.name = std::string_view(nameStart, static_cast<size_t>(m_pos - nameStart));
        if (element.name.empty())
            continue;
        ReadAttributes(element);
        return true;
    }
}

std::string_view DefinitionMarkup::TakeContentUntilEndTag(std::string_view name) {
    const char* start = m_pos;
    for (const char* p = m_pos; p + 2 + name.size() <= m_end; ++p) {
        if (p[0] != '<' || p[1] != '/' ||
            !ascii::EqualsNoCase(std::string_view(p + 2, name.size()), name))
            continue;
        const char* close = p + 2 + name.size();
        while (close < m_end && ascii::IsBlankOrBreak(*close))
            ++close;
        if (close == m_end || *close != '>')
            continue;
        m_pos = close + 1;
        return std::string_view(start, static_cast<size_t>(p - start));
    }
    m_pos = m_end;
    return std::string_view(start, static_cast<size_t>(m_end - start));
}

void DefinitionMarkup::SkipPast(std::string_view text) {
    std::string_view rest(m_pos, static_cast<size_t>(m_end - m_pos));
    const size_t found = rest.find(text);
    m_pos = found == std::string_view::npos ? m_end : m_pos + found + text.size();
}

void DefinitionMarkup::ReadAttributes(DefinitionElement& element) {
    for (;;) {
        while (m_pos < m_end && (ascii::IsBlankOrBreak(*m_pos) || *m_pos == '/'))
            ++m_pos;
        if (m_pos >= m_end)
            return;
        if (*m_pos == '>') {
            ++m_pos;
            return;
        }
        const char* nameStart = m_pos;
        while (m_pos < m_end && !ascii::IsBlankOrBreak(*m_pos) && *m_pos != '=' && *m_pos != '>')
            ++m_pos;
        std::string_view name(nameStart, static_cast<size_t>(m_pos - nameStart));
        while (m_pos < m_end && ascii::IsBlankOrBreak(*m_pos))
            ++m_pos;
        std::string_view value;
        if (m_pos < m_end && *m_pos == '=') {
            ++m_pos;
            while (m_pos < m_end && ascii::IsBlankOrBreak(*m_pos))
                ++m_pos;
            value = ReadValue();
        }
        element.attributes.emplace_back(name, value);
    }
}

std::string_view DefinitionMarkup::ReadValue() {
    if (m_pos < m_end && *m_pos == '"') {
        const char* start = ++m_pos;
        while (m_pos < m_end && *m_pos != '"')
            ++m_pos;
        std::string_view value(start, static_cast<size_t>(m_pos - start));
        if (m_pos < m_end)
            ++m_pos;
        return value;
    }
    const char* start = m_pos;
    while (m_pos < m_end && !ascii::IsBlankOrBreak(*m_pos) && *m_pos != '>' &&
           !(*m_pos == '/' && m_pos + 1 < m_end && m_pos[1] == '>'))
        ++m_pos;
    return std::string_view(start, static_cast<size_t>(m_pos - start));
}
