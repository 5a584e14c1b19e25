#pragma once

#include <cstddef>
#include <cstdint>

// Line walker shared by the text LUT readers. A run of CR and LF characters is
// one break, so empty lines are never returned; each line is trimmed of
// spaces, tabs, CR and LF at both ends (a line of blanks comes back empty).
// The text is not copied and not modified.
class TextLines {
public:
    TextLines(const uint8_t* data, size_t size)
        : m_next(reinterpret_cast<const char*>(data)),
          m_end(reinterpret_cast<const char*>(data) + size) {}

    // Advances to the next line; false when the text is used up.
    bool Next();

    const char* Begin() const { return m_line; }
    size_t Length() const { return m_length; }

    bool IsExactly(const char* text) const;
    bool StartsWith(const char* prefix, bool caseSensitive) const;

private:
    // Where `c` next occurs at or after `from` (the end when nowhere). Each
    // kind of break is searched for again only once it has been passed, so
    // that a text with only one kind is not searched to its end on every line.
    const char* NextOf(char c, const char*& found, const char* from) const;

    const char* m_next;
    const char* m_end;
    const char* m_nextFeed = nullptr;
    const char* m_nextReturn = nullptr;
    const char* m_line = nullptr;
    size_t m_length = 0;
};

// Runs sscanf with `format` over one line (up to its first NUL byte) and returns
// the number of conversions, 0 when none (also for an input failure).
int ScanLine(const char* line, size_t length, const char* format, ...)
    __attribute__((format(scanf, 3, 4)));

// sscanf(line, " %f %f %f ") with the same result and the same bits in out;
// plain decimal numbers take a fast path, anything unusual goes to sscanf.
int ScanFloatTriple(const char* line, size_t length, float out[3]);

// True when the line, after any leading C whitespace, begins with `literal`
// (case-sensitive): the cheap test before a scanf pattern that starts with
// a blank and that literal.
bool LineHasLiteralAfterBlanks(const char* line, size_t length, const char* literal);

// 3 when the text begins with a UTF-8 byte-order mark, which the text LUT
// formats skip; otherwise 0.
size_t ByteOrderMarkLength(const uint8_t* data, size_t size);

// The first blank-delimited word of a line, compared without regard to case.
bool FirstWordIs(const char* line, size_t length, const char* word);
