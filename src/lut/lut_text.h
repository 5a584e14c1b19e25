#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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
    // Goes on from `at`, a point at or after the start of the current line.
    void ResumeAt(const char* at) { m_next = at; }

    bool IsExactly(const char* text) const;
    bool StartsWith(const char* prefix, bool caseSensitive) const;

private:
    // Where `c` next occurs at or after `from`, `limit` when not before it.
    // Each kind of break is searched for again only once `found` has been
    // passed, so that a text with only one kind is not searched on every line.
    const char* NextOf(char c, const char*& found, const char* from, const char* limit) const;

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

// At most this many bands.
constexpr uint32_t kMostBands = 32;

struct TextBand {
    const char* begin = nullptr;
    const char* end = nullptr;
    size_t firstRow = 0;
    size_t rows = 0;
    const char* refused = nullptr; // the line that ended the rows early
    const char* rowsEnd = nullptr; // where the line of the band's last row ends
};

// Cuts [begin, end) into bands at line breaks; false when out of memory.
bool SplitIntoBands(const char* begin, const char* end, std::vector<TextBand>& bands);

// The index of each band's first row, found while the bands are read: every
// band but the last counts its own lines and says so, and each band waits for
// the counts of the bands before it. RunBands starts the bands in order and a
// band counts before it waits, so no band waits for one that has not begun.
class BandRowCounts {
public:
    // False when out of memory.
    bool Prepare(size_t bands);
    // Counts the lines of band `index` for the bands after it.
    void Count(const std::vector<TextBand>& bands, uint32_t index);
    // The first row of band `index`, once the bands before it are counted.
    size_t FirstRow(uint32_t index) const;

private:
    std::unique_ptr<std::atomic<size_t>[]> m_lines;
};

// Calls work(band index) for every band, on as many cores as are free.
void RunBands(std::vector<TextBand>& bands, const std::function<void(uint32_t)>& work);
// Where the lines after the rows begin, and how many rows and bands hold them.
const char* JoinBands(const std::vector<TextBand>& bands, size_t most, size_t& rows,
                      uint32_t& bandsUsed);

// A line in the form most LUT files give every row: three numbers of the
// commonest form ([sign] digits [. digits]) between blanks, and nothing after
// them but blanks before a line break or the end of the text. Returns where
// the line ends (its break, or `end`) with the values that ScanFloatTriple
// gives them in out; null, out unchanged, for a line of any other form.
const char* ScanPlainFloatRow(const char* p, const char* end, float out[3]);

// For rows that have no such form to take first.
template <typename Value> const char* NoPlainRow(const char*, const char*, Value*) {
    return nullptr;
}

// Rows of three numbers, one a line, read from a large text on several cores.
// The text is cut into bands at line breaks; each band learns the index of its
// first row from BandRowCounts and stores its rows in place. The rows run from the first line to
// the first line that `parse` refuses (true for a row), or to `most` rows; a reader goes on line by
// line from the returned position, where the lines after them begin exactly as one TextLines over
// the whole text would give them. `plainRow` (a ScanPlainFloatRow) is tried on each line first:
// every line it takes must be one that `parse` takes with the same values. store(band, row, values)
// may run on several threads at once for different bands; it may also be called for rows after a
// refused line, which the reader then overwrites or discards. `rows` is set to the rows read and
// `bandsUsed` to the bands that hold them (the bands after those store no row
// that counts). Nothing is read (rows 0) when memory runs out.
template <typename Value, typename PlainRow, typename Parse, typename Store>
const char* ReadRowsAtOnce(const TextLines& lines, size_t most, PlainRow plainRow, Parse parse,
                           Store store, size_t& rows, uint32_t& bandsUsed) {
    std::vector<TextBand> bands;
    BandRowCounts counts;
    rows = 0;
    bandsUsed = 0;
    if (!SplitIntoBands(lines.Begin(), lines.End(), bands) || !counts.Prepare(bands.size()))
        return lines.Begin();
    RunBands(bands, [&](uint32_t index) {
        TextBand& band = bands[index];
        counts.Count(bands, index);
        band.firstRow = counts.FirstRow(index);
        TextLines bandLines(reinterpret_cast<const uint8_t*>(band.begin),
                            size_t(band.end - band.begin));
        const char* p = band.begin;
        band.rowsEnd = p;
        size_t row = band.firstRow;
        for (; row < most; ++row) {
            while (p < band.end && (*p == '\n' || *p == '\r'))
                ++p;
            if (p == band.end)
                break;
            Value values[3];
            if (const char* lineEnd = plainRow(p, band.end, values)) {
                p = band.rowsEnd = lineEnd;
                store(index, row, values);
                continue;
            }
            bandLines.ResumeAt(p);
            bandLines.Next();
            if (!parse(bandLines.Begin(), bandLines.Length(), values)) {
                band.refused = bandLines.Begin();
                break;
            }
            p = band.rowsEnd = bandLines.Rest();
            store(index, row, values);
        }
        band.rows = row > band.firstRow ? row - band.firstRow : 0;
    });
    return JoinBands(bands, most, rows, bandsUsed);
}
