#include "tool/look_access.h"

#include "tool/parsed_look.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace {

// A light scan of the document, enough to tell a look from other text and to
// find the stored LUT size, until the full look reader is linked in.
class LookTextScan {
public:
    explicit LookTextScan(const CVxString& text)
        : m_text(text.c_str()), m_end(m_text + text.Length()) {}

    // The root element exists and has content before its end tag.
    bool HasNonEmptyRoot() {
        const char* root = SkipProlog(m_text);
        if (root >= m_end || *root != '<' || !IsNameStart(root[1]))
            return false;
        const char* close = std::strchr(root, '>');
        if (!close)
            return false;
        const char* next = SkipSpace(close + 1);
        return next < m_end && !(next[0] == '<' && next[1] == '/');
    }

    // The value of LUT/size, 0 when absent or not a whole number.
    uint32_t StoredLutSize() const {
        const char* lut = FindTagNoCase(m_text, "<lut>");
        if (!lut)
            return 0;
        const char* size = FindTagNoCase(lut, "<size>");
        if (!size)
            return 0;
        const char* value = SkipSpace(size + 6);
        if (*value == '"')
            ++value;
        uint32_t result = 0;
        const char* digit = value;
        for (; std::isdigit(static_cast<unsigned char>(*digit)); ++digit)
            result = result * 10 + static_cast<uint32_t>(*digit - '0');
        if (digit == value || (*digit != '"' && *digit != '<'))
            return 0;
        return result;
    }

private:
    static bool IsNameStart(char c) {
        return c == '_' || std::isalpha(static_cast<unsigned char>(c));
    }
    const char* SkipSpace(const char* at) const {
        while (at < m_end && std::isspace(static_cast<unsigned char>(*at)))
            ++at;
        return at;
    }
    const char* SkipProlog(const char* at) const {
        for (;;) {
            at = SkipSpace(at);
            if (at + 1 >= m_end || at[0] != '<' || (at[1] != '?' && at[1] != '!'))
                return at;
            const char* close = std::strchr(at, '>');
            if (!close)
                return m_end;
            at = close + 1;
        }
    }
    const char* FindTagNoCase(const char* from, const char* tag) const {
        const size_t length = std::strlen(tag);
        for (const char* at = from; at + length <= m_end; ++at)
            if (strncasecmp(at, tag, length) == 0)
                return at;
        return nullptr;
    }

    const char* m_text;
    const char* m_end;
};

} // namespace

std::unique_ptr<ParsedLook> ReadLook(const CVxString& text, uint32_t& storedSize) {
    LookTextScan scan(text);
    if (!scan.HasNonEmptyRoot())
        return nullptr;
    storedSize = scan.StoredLutSize();
    return std::make_unique<ParsedLook>();
}

CVxString WrapLutInLook(const CVxString& lutFileName) {
    CVxString text;
    text += "<?xml version=\"1.0\" ?>\n";
    text += "<look>\n";
    text += "  <shaders>\n";
    text += "    <base>\n";
    text += "      <visible>\"1\"</visible>\n";
    text += "      <sublayer0>\n";
    text += "        <opacity>\"1\"</opacity>\n";
    text += "        <parameters>\n";
    text += "          <BaseLUT>\"";
    text += lutFileName;
    text += "\"</BaseLUT>\n";
    text += "        </parameters>\n";
    text += "      </sublayer0>\n";
    text += "    </base>\n";
    text += "  </shaders>\n";
    text += "</look>\n";
    return text;
}
