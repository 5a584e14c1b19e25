#include "foundation/xml_tree.h"

#include "platform/ascii.h"

#include <string_view>
#include <vector>

namespace {

bool IsNameStart(char c) {
    return c == '_' || ascii::IsLetter(c);
}

bool IsNameChar(char c) {
    return IsNameStart(c) || ascii::IsDigit(c) || c == '-';
}

// Reads a document without recursion, so that deep nesting cannot exhaust the stack.
class TreeReader {
public:
    TreeReader(const char* text, size_t length, const CVxString& prefix, XMLTreeSink& sink)
        : m_at(text), m_end(text + length), m_prefix(prefix), m_sink(sink) {}

    bool Read() {
        for (;;) {
            SkipBlanksAndMarkup();
            if (m_at == m_end)
                return true;
            if (!ReadTopLevelElement())
                return false;
        }
    }

private:
    struct OpenElement {
        std::string_view name;
        uint32_t keyLength; // length of the key before this element's name
    };

    bool Peek(char c, size_t offset = 0) const {
        return m_at + offset < m_end && m_at[offset] == c;
    }
    bool AtStartTag() const { return Peek('<') && !Peek('/', 1); }

    void SkipBlanks() {
        while (m_at < m_end && ascii::IsBlankOrBreak(*m_at))
            ++m_at;
    }

    void SkipBlanksAndMarkup() {
        for (;;) {
            SkipBlanks();
            if (!(Peek('<') && (Peek('!', 1) || Peek('?', 1))))
                return;
            while (m_at < m_end && *m_at != '>')
                ++m_at;
            if (m_at < m_end)
                ++m_at;
        }
    }

    bool ReadName(std::string_view& name) {
        if (m_at == m_end || !IsNameStart(*m_at))
            return false;
        const char* start = m_at;
        while (m_at < m_end && IsNameChar(*m_at))
            ++m_at;
        name = std::string_view(start, static_cast<size_t>(m_at - start));
        return true;
    }

    bool ReadStartTag() {
        if (!Peek('<'))
            return false;
        ++m_at;
        std::string_view name;
        if (!ReadName(name))
            return false;
        SkipBlanks();
        if (!Peek('>'))
            return false;
        ++m_at;
        const uint32_t keyLength = m_key.Length();
        if (!m_open.empty())
            m_key.Append('.');
        m_key.Append(name.data(), static_cast<uint32_t>(name.size()));
        m_open.push_back({name, keyLength});
        CVxString key;
        if (KeyBelowPrefix(key))
            m_sink.OnElement(key);
        return true;
    }

    // The current key without the prefix; false when it does not lie below it.
    bool KeyBelowPrefix(CVxString& key) const {
        const uint32_t prefixLength = m_prefix.Length();
        if (prefixLength == 0) {
            key = m_key;
            return true;
        }
        if (m_key.Length() <= prefixLength + 1 || m_key[prefixLength] != '.' ||
            !m_key.StartsWith(m_prefix.c_str()))
            return false;
        key = m_key.Mid(prefixLength + 1);
        return true;
    }

    bool ReadEndTag() {
        SkipBlanks();
        if (!Peek('<') || !Peek('/', 1))
            return false;
        m_at += 2;
        std::string_view name;
        if (!ReadName(name) || !ascii::EqualsNoCase(name, m_open.back().name))
            return false;
        SkipBlanks();
        if (!Peek('>'))
            return false;
        ++m_at;
        m_key.SetLength(m_open.back().keyLength);
        m_open.pop_back();
        return true;
    }

    bool ReadValue() {
        const char* start = ++m_at;
        while (m_at < m_end && *m_at != '"')
            ++m_at;
        if (m_at == m_end)
            return false;
        const uint32_t length = static_cast<uint32_t>(m_at - start);
        ++m_at;
        CVxString key;
        if (KeyBelowPrefix(key))
            m_sink.OnValue(key, CVxString(start, length));
        return true;
    }

    // One top-level element with everything inside it.
    bool ReadTopLevelElement() {
        m_key.Empty();
        m_open.clear();
        if (!ReadStartTag())
            return false;
        while (!m_open.empty()) {
            SkipBlanksAndMarkup();
            if (Peek('"')) {
                if (!ReadValue() || !ReadEndTag())
                    return false;
            } else if (AtStartTag()) {
                if (!ReadStartTag())
                    return false;
                continue;
            } else if (!ReadEndTag()) {
                return false;
            }
            // After a closed element come its siblings or the end of its parent.
            while (!m_open.empty()) {
                SkipBlanksAndMarkup();
                if (AtStartTag())
                    break;
                if (!ReadEndTag())
                    return false;
            }
        }
        return true;
    }

    const char* m_at;
    const char* m_end;
    const CVxString& m_prefix;
    XMLTreeSink& m_sink;
    CVxString m_key;
    std::vector<OpenElement> m_open;
};

} // namespace

bool ReadXMLTree(XmlTextView text, const CVxString& prefix, XMLTreeSink& sink) {
    TreeReader reader(text.Data(), text.Length(), prefix, sink);
    return reader.Read();
}
