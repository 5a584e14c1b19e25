#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

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
    // Where the text after the current line begins.
    const char* Rest() const { return m_next; }
    const char* End() const { return m_end; }

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

// The float that strtof reads from a plain decimal number ([sign] digits
// [. digits] [e|E [sign] digits]) that ends the text or is followed by a blank,
// wherever it can be found exactly without the C library; p moves past it.
// False, p unchanged, for every other text and for the few numbers left to
// the C library.
bool ParseDecimalFloatExactly(const char*& p, const char* end, float& out);

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

// A text shorter than this is read line by line: threads would not pay.
constexpr size_t kSmallestSplitText = size_t(3) << 20;

// Whether the text from the current line on is to be split between the cores.
inline bool WorthSplitting(const TextLines& lines) {
    return size_t(lines.End() - lines.Begin()) >= kSmallestSplitText;
}

// At most this many bands, one a core.
constexpr uint32_t kMostBands = 8;

struct TextBand {
    const char* begin = nullptr;
    const char* end = nullptr;
    size_t firstRow = 0;
    size_t rows = 0;
    const char* refused = nullptr; // the line that ended the rows early
};

// Cuts [begin, end) into bands at line breaks and, with countRows, counts
// their lines to give each band the index of its first row; false when out of
// memory.
bool SplitIntoBands(const char* begin, const char* end, std::vector<TextBand>& bands,
                    bool countRows = true);
// Calls work(band index) for every band, on as many cores as are free.
void RunBands(std::vector<TextBand>& bands, const std::function<void(uint32_t)>& work);
// Where the lines after the rows begin, and how many rows and bands hold them.
const char* JoinBands(const std::vector<TextBand>& bands, size_t most, size_t& rows,
                      uint32_t& bandsUsed);

// Rows of three numbers, one a line, read from a large text on several cores.
// The text is cut into bands at line breaks; the lines of each band are
// counted first, so that each band knows the index of its first row and
// stores its rows in place. The rows run from the first line to the first
// line that `parse` refuses (true for a row), or to `most` rows; a reader goes
// on line by line from the returned position, where the lines after them
// begin exactly as one TextLines over the whole text would give them.
// store(band, row, values) may run on several threads at once for different
// bands; it may also be called for rows after a refused line, which the
// reader then overwrites or discards. `rows` is set to the rows read and
// `bandsUsed` to the bands that hold them (the bands after those store no row
// that counts). Nothing is read (rows 0) when memory runs out.
template <typename Value, typename Parse, typename Store>
const char* ReadRowsAtOnce(const TextLines& lines, size_t most, Parse parse, Store store,
                           size_t& rows, uint32_t& bandsUsed) {
    std::vector<TextBand> bands;
    rows = 0;
    bandsUsed = 0;
    if (!SplitIntoBands(lines.Begin(), lines.End(), bands))
        return lines.Begin();
    RunBands(bands, [&](uint32_t index) {
        TextBand& band = bands[index];
        TextLines bandLines(reinterpret_cast<const uint8_t*>(band.begin),
                            size_t(band.end - band.begin));
        size_t row = band.firstRow;
        for (; row < most && bandLines.Next(); ++row) {
            Value values[3];
            if (!parse(bandLines.Begin(), bandLines.Length(), values)) {
                band.refused = bandLines.Begin();
                break;
            }
            store(index, row, values);
        }
        band.rows = row > band.firstRow ? row - band.firstRow : 0;
    });
    return JoinBands(bands, most, rows, bandsUsed);
}
