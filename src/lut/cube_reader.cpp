#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "platform/ascii.h"

#include <cstring>
#include <new>
#include <vector>

// Cube files: one table, 1D or 3D, or a 1D shaper whose rows come first and a
// 3D lattice. Keywords match in any letter case. DOMAIN_MIN and DOMAIN_MAX
// give the input range of the file's first table; LUT_1D_INPUT_RANGE and
// LUT_3D_INPUT_RANGE give that of the table they name and win over the
// DOMAIN lines. A shaper becomes a pre-LUT onto the texel centres of the
// lattice, as the other readers' input tables are.

namespace {

// What the size and range lines say about one table of the file.
struct CubeTable {
    bool sized = false;
    uint32_t size = 0;
    bool ranged = false;
    float low = 0.0f;
    float high = 1.0f;
};

struct CubeState {
    EDimensionRequirement requirement = EDimensionRequirement::eAnyDimension;
    float domainMin[4] = {0, 0, 0, 1};
    float domainMax[4] = {1, 1, 1, 1};
    CubeTable oneD;
    CubeTable threeD;
    bool sizeSeen = false;
    // Fixed by the first data row: whether the rows fill a shaper, then a lattice.
    bool layoutFixed = false;
    bool twoTables = false;
    size_t shaperRows = 0;
    size_t expected = 0;
    size_t stored = 0;
};

// A comment, title, domain, range or size line was read, the line is data, or the load fails.
enum class ELineOutcome : uint8_t { eKeyword, eData, eFailed };

// Room for the %s conversion of a line of `length` characters; one buffer
// per thread that only grows, so that these lines cost no allocation.
char* WordBuffer(size_t length) {
    static thread_local std::vector<char> buffer;
    if (buffer.size() <= length)
        buffer.resize(length + 1);
    return buffer.data();
}

EReaderResult Fail(CVxLUT& lut) {
    lut.DeletePreLUT();
    lut.Clear();
    return EReaderResult::eFailed;
}

// Where the text after `keyword` begins when the line, after any leading C
// whitespace, begins with it in any letter case; 0 when it does not.
size_t AfterKeyword(const TextLines& lines, const char* keyword) {
    const char* line = lines.Begin();
    const size_t length = lines.Length();
    size_t i = 0;
    while (i < length && ascii::IsCSpace(line[i]))
        ++i;
    const size_t keywordLength = std::strlen(keyword);
    if (length - i < keywordLength ||
        !ascii::EqualsNoCase(std::string_view(line + i, keywordLength), keyword))
        return 0;
    return i + keywordLength;
}

ELineOutcome ReadDomainLine(const TextLines& lines, CubeState& state) {
    const size_t rest = AfterKeyword(lines, "DOMAIN_");
    if (rest == 0)
        return ELineOutcome::eData;
    char* word = WordBuffer(lines.Length());
    float values[3];
    const int count = ScanLine(lines.Begin() + rest, lines.Length() - rest, "%s %f %f %f", word,
                               &values[0], &values[1], &values[2]);
    if (count != 4)
        return ELineOutcome::eData;
    const size_t wordLength = std::strlen(word);
    float* target = nullptr;
    if (FirstWordIs(word, wordLength, "MIN"))
        target = state.domainMin;
    else if (FirstWordIs(word, wordLength, "MAX"))
        target = state.domainMax;
    else
        return ELineOutcome::eFailed;
    for (int c = 0; c < 3; ++c)
        target[c] = values[c];
    return ELineOutcome::eKeyword;
}

ELineOutcome ReadRangeLine(const char* text, size_t length, CubeTable& table) {
    float low = 0.0f;
    float high = 0.0f;
    if (ScanLine(text, length, "%*s %f %f", &low, &high) != 2)
        return ELineOutcome::eData;
    table.ranged = true;
    table.low = low;
    table.high = high;
    return ELineOutcome::eKeyword;
}

ELineOutcome ReadSizeLine(CVxLUT& lut, const char* text, size_t length, const char* word,
                          CubeState& state) {
    unsigned size = 0;
    if (ScanLine(text, length, "%*s %u ", &size) != 1)
        return ELineOutcome::eData;
    const bool is3D = FirstWordIs(word, std::strlen(word), "3D_SIZE");
    if (is3D && state.requirement == EDimensionRequirement::eOnly1D)
        return ELineOutcome::eFailed;
    if (!is3D && state.requirement == EDimensionRequirement::eOnly3D)
        return ELineOutcome::eFailed;
    // The rows of two tables are laid out at the first row; no size may change after it.
    if (state.twoTables)
        return ELineOutcome::eFailed;
    // Size 0 is no error: it makes an empty table that is complete at once.
    if (!lut.Create(size, is3D))
        return ELineOutcome::eFailed;
    CubeTable& table = is3D ? state.threeD : state.oneD;
    table.sized = true;
    table.size = size;
    state.sizeSeen = true;
    state.expected = is3D ? size_t(size) * size * size : size_t(size);
    return ELineOutcome::eKeyword;
}

// LUT_ lines: the input range of one table, or the size of one.
ELineOutcome ReadTableLine(CVxLUT& lut, const TextLines& lines, CubeState& state) {
    const size_t rest = AfterKeyword(lines, "LUT_");
    if (rest == 0)
        return ELineOutcome::eData;
    const char* text = lines.Begin() + rest;
    const size_t length = lines.Length() - rest;
    char* word = WordBuffer(lines.Length());
    if (ScanLine(text, length, "%s", word) != 1)
        return ELineOutcome::eData;
    const size_t wordLength = std::strlen(word);
    if (FirstWordIs(word, wordLength, "1D_INPUT_RANGE"))
        return ReadRangeLine(text, length, state.oneD);
    if (FirstWordIs(word, wordLength, "3D_INPUT_RANGE"))
        return ReadRangeLine(text, length, state.threeD);
    return ReadSizeLine(lut, text, length, word, state);
}

// A line that begins with a digit, a sign or a dot can only be data, and
// data lines are nearly all of a file: they skip the keyword tests.
ELineOutcome ReadKeywordLine(CVxLUT& lut, const TextLines& lines, CubeState& state) {
    const char first = lines.Length() > 0 ? lines.Begin()[0] : ' ';
    if (ascii::IsDigit(first) || first == '-' || first == '+' || first == '.')
        return ELineOutcome::eData;
    if (lines.StartsWith("#", true) || lines.StartsWith("TITLE", false))
        return ELineOutcome::eKeyword;
    const ELineOutcome domain = ReadDomainLine(lines, state);
    if (domain != ELineOutcome::eData)
        return domain;
    return ReadTableLine(lut, lines, state);
}

// With both sizes given, the rows fill a 1D shaper first and then the lattice.
bool FixLayout(CVxLUT& lut, CubeState& state) {
    state.layoutFixed = true;
    if (!state.oneD.sized || !state.threeD.sized)
        return true;
    state.twoTables = true;
    if (!lut.Create(state.threeD.size, true))
        return false;
    const uint32_t n = state.threeD.size;
    state.shaperRows = state.oneD.size;
    state.expected = state.shaperRows + size_t(n) * n * n;
    if (state.shaperRows == 0)
        return true;
    lut.DeletePreLUT();
    lut.m_preLUT = new (std::nothrow) CVxLUT();
    return lut.m_preLUT != nullptr && lut.m_preLUT->Create(state.oneD.size, false);
}

// The input range of a table: its own range line, or else the DOMAIN lines
// when it is the file's first table, or else [0, 1].
void SetTableDomain(CVxLUT& table, const CubeTable& ranges, const CubeState& state, bool first) {
    if (ranges.ranged) {
        const float low[4] = {ranges.low, ranges.low, ranges.low, 1.0f};
        const float high[4] = {ranges.high, ranges.high, ranges.high, 1.0f};
        table.SetDomain(low, high);
    } else if (first) {
        table.SetDomain(state.domainMin, state.domainMax);
    } else {
        table.SetDomainUniform(0.0f, 1.0f);
    }
}

// The shaper's outputs are inputs of the lattice over its own range; they
// become the texel coordinates of those inputs, and the lattice the domain
// of its texel centres.
void JoinShaperAndLattice(CVxLUT& lut, const CubeState& state) {
    SetTableDomain(lut, state.threeD, state, false);
    CVxLUT& shaper = *lut.m_preLUT;
    SetTableDomain(shaper, state.oneD, state, true);
    for (uint32_t i = 0; i < shaper.m_size; ++i)
        for (int c = 0; c < 3; ++c) {
            float& value = shaper.m_data[i * 4 + c];
            value = value * lut.m_texScale[c] + lut.m_texOffset[c];
        }
    const float half = 0.5f / static_cast<float>(lut.m_size);
    lut.SetDomainUniform(half, 1.0f - half);
}

bool IsDataRow(const char* line, size_t length, float rgb[3]) {
    const char first = length > 0 ? line[0] : ' ';
    return (ascii::IsDigit(first) || first == '-' || first == '+' || first == '.') &&
           ScanFloatTriple(line, length, rgb) == 3;
}

float* EntryOfRow(CVxLUT& lut, const CubeState& state, size_t row) {
    if (row < state.shaperRows)
        return lut.m_preLUT->m_data + row * 4;
    return lut.m_data + (row - state.shaperRows) * 4;
}

void StoreRow(float* entry, const float rgb[3]) {
    entry[0] = rgb[0];
    entry[1] = rgb[1];
    entry[2] = rgb[2];
    entry[3] = 1.0f;
}

// Reads the data rows that start at the current line on several cores, and
// leaves the lines at the first line after them.
void ReadRowsOnCores(CVxLUT& lut, CubeState& state, TextLines& lines) {
    const size_t first = state.stored;
    size_t rows = 0;
    uint32_t bands = 0;
    const char* stop = ReadRowsAtOnce<float>(
        lines, state.expected - first, ScanPlainFloatRow, IsDataRow,
        [&](uint32_t, size_t row, const float* rgb) {
            StoreRow(EntryOfRow(lut, state, first + row), rgb);
        },
        rows, bands);
    state.stored += rows;
    lines = TextLines(reinterpret_cast<const uint8_t*>(stop), size_t(lines.End() - stop));
}

} // namespace

EReaderResult ReadCubeLut(CVxLUT& lut, const uint8_t* data, size_t size, bool /*upsample*/,
                          EDimensionRequirement requirement) {
    CubeState state;
    state.requirement = requirement;
    TextLines lines(data, size);
    bool splitTried = false;
    while (lines.Next()) {
        const ELineOutcome outcome = ReadKeywordLine(lut, lines, state);
        if (outcome == ELineOutcome::eFailed)
            return Fail(lut);
        if (outcome == ELineOutcome::eKeyword)
            continue;
        if (!state.sizeSeen)
            break;
        if (!state.layoutFixed && !FixLayout(lut, state))
            return Fail(lut);
        // A table of size 0, or one that a later size line shrank below what was
        // stored, has no room for this line.
        if (state.stored >= state.expected)
            break;
        // Once, at the first rows: a later try would start at the same line.
        if (!splitTried && WorthSplitting(lines)) {
            splitTried = true;
            ReadRowsOnCores(lut, state, lines);
            if (state.stored == state.expected)
                break;
            continue;
        }
        float rgb[3];
        if (ScanFloatTriple(lines.Begin(), lines.Length(), rgb) != 3)
            break;
        StoreRow(EntryOfRow(lut, state, state.stored), rgb);
        if (++state.stored == state.expected)
            break;
    }
    if (!state.sizeSeen)
        return EReaderResult::eNotRecognised;
    if (state.stored < state.expected)
        return Fail(lut);
    if (lut.m_preLUT != nullptr)
        JoinShaperAndLattice(lut, state);
    else
        SetTableDomain(lut, lut.m_is3D ? state.threeD : state.oneD, state, true);
    return EReaderResult::eLoaded;
}
