#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "platform/ascii.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

// Imageworks 1D (.spi1d) and 3D (.spi3d) tables, read as OpenColorIO reads
// them: the same lines taken and passed over, the same numbers, the same
// refusals. A file refused here goes to OpenColorIO, which then tries its
// other formats on it; so a file is read here only when OpenColorIO's reader
// of its extension reads it, and then to the same values.
//
// OpenColorIO reads a line at a time up to a line feed, at most 4095
// characters (a longer line ends the reading), and scans each with sscanf:
// a number is a blank-delimited word of which strtof reads a prefix in the C
// locale, refused when strtof reads nothing or reports a range error.

namespace {

constexpr size_t kLongestLine = 4095;
constexpr size_t kLongestWord = 63;
constexpr int kLargestLength = 65536;
constexpr int kLargestLatticeSize = 129;
constexpr uint32_t kLargestUpsampledSize = 128;

// One line as OpenColorIO's reading gives it: cut at its first NUL byte.
// `good` is false when the reading stopped with this line: the text ended
// before a line feed, or the line was too long.
struct StreamLine {
    std::string_view text;
    bool good = false;
};

class StreamLines {
public:
    StreamLines(const char* begin, const char* end) : m_next(begin), m_end(end) {}

    // False once the stream is no longer good.
    bool Good() const { return m_good; }
    // A line ended the reading by its length.
    bool TooLong() const { return m_tooLong; }

    StreamLine Next() {
        const char* start = m_next;
        const size_t left = size_t(m_end - start);
        const void* feed = std::memchr(start, '\n', std::min(left, kLongestLine + 1));
        size_t length = feed ? size_t(static_cast<const char*>(feed) - start) : left;
        if (feed) {
            m_next = static_cast<const char*>(feed) + 1;
        } else {
            // No line feed among the first 4096 characters, or the text ends.
            m_tooLong = length > kLongestLine;
            length = std::min(length, kLongestLine);
            m_next = m_end;
            m_good = false;
        }
        // NUL bytes are rare: each is searched for once.
        if (m_nul < start) {
            const void* nul = std::memchr(start, 0, size_t(m_end - start));
            m_nul = nul ? static_cast<const char*>(nul) : m_end;
        }
        if (m_nul < start + length)
            length = size_t(m_nul - start);
        return {{start, length}, m_good};
    }

    const char* Position() const { return m_next; }

private:
    const char* m_next;
    const char* m_end;
    const char* m_nul = nullptr;
    bool m_good = true;
    bool m_tooLong = false;
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The words of a line as sscanf's "%63s" conversions give them: a word of
// more than 63 characters is split. Up to `most` words.
size_t SplitWords(std::string_view line, std::string_view* words, size_t most) {
    size_t count = 0;
    size_t i = 0;
    while (count < most) {
        while (i < line.size() && ascii::IsCSpace(line[i]))
            ++i;
        if (i == line.size())
            break;
        const size_t start = i;
        while (i < line.size() && !ascii::IsCSpace(line[i]) && i - start < kLongestWord)
            ++i;
        words[count++] = line.substr(start, i - start);
    }
    return count;
}

// strtof's reading of the start of a word, refused as OpenColorIO refuses it.
bool ReadNumber(std::string_view word, float& value) {
    const char* p = word.data();
    if (ParseDecimalFloatExactly(p, word.data() + word.size(), value) &&
        p == word.data() + word.size())
        return true;
    char copy[kLongestWord + 1];
    const size_t length = std::min(word.size(), kLongestWord);
    std::memcpy(copy, word.data(), length);
    copy[length] = 0;
    char* end = nullptr;
    errno = 0;
    const float read = std::strtof(copy, &end);
    if (errno != 0 || end == copy)
        return false;
    value = read;
    return true;
}

// Not read here: the file is OpenColorIO's to read or refuse.
EReaderResult Refuse(CVxLUT& lut) {
    lut.DeletePreLUT();
    lut.Clear();
    return EReaderResult::eNotRecognised;
}

// Read, and of a dimensionality that the caller refuses.
EReaderResult Fail(CVxLUT& lut) {
    lut.DeletePreLUT();
    lut.Clear();
    return EReaderResult::eFailed;
}

// ----------------------------------------------------------------------------
// .spi1d

struct Spi1dHeader {
    int version = -1;
    int length = -1;
    int components = -1;
    float from[2] = {0.0f, 1.0f};
};

// One header line; false when OpenColorIO refuses it.
bool ReadHeaderLine(std::string_view line, Spi1dHeader& header) {
    if (StartsWith(line, "Version"))
        return ScanLine(line.data(), line.size(), "Version %d", &header.version) == 1 &&
               header.version == 1;
    if (StartsWith(line, "From")) {
        std::string_view words[3];
        // "From %63s %63s": the words after the tag, which may be joined to it.
        return SplitWords(line.substr(4), words, 2) == 2 && ReadNumber(words[0], header.from[0]) &&
               ReadNumber(words[1], header.from[1]);
    }
    if (StartsWith(line, "Components"))
        return ScanLine(line.data(), line.size(), "Components %d", &header.components) == 1;
    if (StartsWith(line, "Length"))
        return ScanLine(line.data(), line.size(), "Length %d", &header.length) == 1;
    return true;
}

std::string_view TrimmedLine(std::string_view line) {
    size_t begin = 0;
    size_t end = line.size();
    while (begin < end && ascii::IsCSpace(line[begin]))
        ++begin;
    while (end > begin && ascii::IsCSpace(line[end - 1]))
        --end;
    return line.substr(begin, end - begin);
}

// The rows up to a "}" line; false when OpenColorIO refuses them.
bool ReadSpi1dRows(StreamLines& lines, const Spi1dHeader& header, float* entries) {
    int count = 0;
    StreamLine line = lines.Next();
    while (line.good) {
        const std::string_view trimmed = TrimmedLine(line.text);
        if (trimmed == "}")
            break;
        if (!trimmed.empty()) {
            std::string_view words[4];
            if (int(SplitWords(line.text, words, 4)) != header.components || count >= header.length)
                return false;
            float values[3] = {0.0f, 0.0f, 0.0f};
            for (int c = 0; c < header.components; ++c)
                if (!ReadNumber(words[c], values[c]))
                    return false;
            if (header.components == 1)
                values[1] = values[2] = values[0];
            float* entry = entries + size_t(count) * 4;
            std::copy(values, values + 3, entry);
            entry[3] = 1.0f;
            ++count;
        }
        line = lines.Next();
    }
    return count == header.length;
}

// ----------------------------------------------------------------------------
// .spi3d

// [sign] and up to 9 digits.
int ParseSmallInteger(std::string_view word) {
    const bool negative = word[0] == '-';
    int value = 0;
    for (char c : word.substr(word[0] == '-' || word[0] == '+' ? 1 : 0))
        value = value * 10 + (c - '0');
    return negative ? -value : value;
}

// What one line of a lattice gives.
enum class ESpi3dLine : uint8_t { ePassedOver, eEntry, eRefused };

struct Spi3dEntry {
    uint32_t index;
    float rgb[3];
};

// "%d %d %d %63s %63s %63s": three node indices and an output colour.
ESpi3dLine ReadSpi3dLine(std::string_view line, int size, Spi3dEntry& entry) {
    int node[3];
    std::string_view words[6];
    bool plain = SplitWords(line, words, 6) == 6;
    for (int k = 0; plain && k < 3; ++k) {
        const std::string_view word = words[k];
        const size_t sign = word[0] == '-' || word[0] == '+' ? 1 : 0;
        // Up to 9 digits: no int conversion of sscanf can overflow.
        plain = word.size() > sign && word.size() - sign <= 9 &&
                std::all_of(word.begin() + sign, word.end(), ascii::IsDigit);
        if (plain)
            node[k] = ParseSmallInteger(word);
    }
    if (!plain) {
        // Whatever else sscanf makes of the line.
        char value[3][kLongestWord + 1];
        if (ScanLine(line.data(), line.size(), "%d %d %d %63s %63s %63s", &node[0], &node[1],
                     &node[2], value[0], value[1], value[2]) != 6)
            return ESpi3dLine::ePassedOver;
        for (int k = 0; k < 3; ++k)
            words[3 + k] = value[k];
        for (int c = 0; c < 3; ++c)
            if (!ReadNumber(words[3 + c], entry.rgb[c]))
                return ESpi3dLine::eRefused;
    } else {
        for (int c = 0; c < 3; ++c)
            if (!ReadNumber(words[3 + c], entry.rgb[c]))
                return ESpi3dLine::eRefused;
    }
    for (int k = 0; k < 3; ++k)
        if (node[k] < 0 || node[k] >= size)
            return ESpi3dLine::eRefused;
    // Blue fastest in the file; red fastest in the table.
    entry.index = uint32_t((node[2] * size + node[1]) * size + node[0]);
    return ESpi3dLine::eEntry;
}

} // namespace

EReaderResult ReadSpi1dLut(CVxLUT& lut, const uint8_t* data, size_t size, bool,
                           EDimensionRequirement requirement) {
    const char* text = reinterpret_cast<const char*>(data);
    StreamLines lines(text, text + size);
    Spi1dHeader header;
    StreamLine line;
    do {
        line = lines.Next();
        if (!ReadHeaderLine(line.text, header))
            return Refuse(lut);
    } while (line.good && !StartsWith(line.text, "{"));
    if (header.version == -1 || header.length < 2 || header.length > kLargestLength ||
        header.components < 1 || header.components > 3)
        return Refuse(lut);
    if (!lut.Create(uint32_t(header.length), false) || !ReadSpi1dRows(lines, header, lut.m_data))
        return Refuse(lut);
    if (requirement == EDimensionRequirement::eOnly3D)
        return Fail(lut);
    lut.DeletePreLUT();
    lut.SetDomainUniform(header.from[0], header.from[1]);
    return EReaderResult::eLoaded;
}

namespace {

class Spi3dReader {
public:
    Spi3dReader(CVxLUT& lut, int size) : m_lut(lut), m_size(size) {}

    // The lines after the header; false when OpenColorIO refuses them.
    bool Read(StreamLines& lines, const char* end) {
        try {
            m_defined.assign(size_t(m_size) * m_size * m_size, false);
        } catch (const std::bad_alloc&) {
            return false;
        }
        m_remaining = m_defined.size();
        const TextLines rest(reinterpret_cast<const uint8_t*>(lines.Position()),
                             size_t(end - lines.Position()));
        if (lines.Good() && WorthSplitting(rest)) {
            const EBandsOutcome outcome = ReadOnCores(lines.Position(), end);
            if (outcome != EBandsOutcome::eReadLineByLine)
                return outcome == EBandsOutcome::eRead;
        }
        while (lines.Good() && m_remaining > 0) {
            Spi3dEntry entry;
            const ESpi3dLine kind = ReadSpi3dLine(lines.Next().text, m_size, entry);
            if (kind == ESpi3dLine::eRefused || (kind == ESpi3dLine::eEntry && !Define(entry)))
                return false;
        }
        return m_remaining == 0;
    }

private:
    enum class EBandsOutcome : uint8_t { eRead, eRefused, eReadLineByLine };

    // What one band of lines gives: its entries in order, up to the first
    // line refused.
    struct Band {
        std::vector<Spi3dEntry> entries;
        bool refused = false;
        bool tooLong = false;
    };

    // The lines read on several cores, each band into its own entries, then
    // defined in the order of the text as one reading defines them. A line
    // that would end the reading by its length sends the text back to the
    // reading line by line.
    EBandsOutcome ReadOnCores(const char* begin, const char* end) {
        std::vector<TextBand> cuts;
        std::vector<Band> bands;
        try {
            if (!SplitIntoBands(begin, end, cuts))
                return EBandsOutcome::eReadLineByLine;
            bands.resize(cuts.size());
        } catch (const std::bad_alloc&) {
            return EBandsOutcome::eReadLineByLine;
        }
        std::atomic<bool> outOfMemory{false};
        RunBands(cuts, [&](uint32_t b) {
            try {
                ReadBand(cuts[b], bands[b]);
            } catch (const std::bad_alloc&) {
                outOfMemory = true;
            }
        });
        if (outOfMemory ||
            std::any_of(bands.begin(), bands.end(), [](const Band& band) { return band.tooLong; }))
            return EBandsOutcome::eReadLineByLine;
        for (const Band& band : bands) {
            for (const Spi3dEntry& entry : band.entries) {
                if (!Define(entry))
                    return EBandsOutcome::eRefused;
                if (m_remaining == 0)
                    return EBandsOutcome::eRead;
            }
            if (band.refused)
                return EBandsOutcome::eRefused;
        }
        return m_remaining == 0 ? EBandsOutcome::eRead : EBandsOutcome::eRefused;
    }

    void ReadBand(const TextBand& cut, Band& band) const {
        // A line of a lattice takes some twenty characters at the least.
        band.entries.reserve(size_t(cut.end - cut.begin) / 20);
        StreamLines lines(cut.begin, cut.end);
        while (lines.Position() < cut.end) {
            Spi3dEntry entry;
            const ESpi3dLine kind = ReadSpi3dLine(lines.Next().text, m_size, entry);
            if (lines.TooLong()) {
                band.tooLong = true;
                return;
            }
            if (kind == ESpi3dLine::eRefused) {
                band.refused = true;
                return;
            }
            if (kind == ESpi3dLine::eEntry)
                band.entries.push_back(entry);
        }
    }

    // False for a node defined twice.
    bool Define(const Spi3dEntry& entry) {
        if (m_defined[entry.index])
            return false;
        m_defined[entry.index] = true;
        --m_remaining;
        float* target = m_lut.m_data + size_t(entry.index) * 4;
        std::copy(entry.rgb, entry.rgb + 3, target);
        target[3] = 1.0f;
        return true;
    }

    CVxLUT& m_lut;
    const int m_size;
    std::vector<bool> m_defined;
    size_t m_remaining = 0;
};

} // namespace

EReaderResult ReadSpi3dLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                           EDimensionRequirement requirement) {
    const char* text = reinterpret_cast<const char*>(data);
    StreamLines lines(text, text + size);
    std::string_view first = lines.Next().text;
    if (first.size() < 6 || !ascii::EqualsNoCase(first.substr(0, 6), "spilut"))
        return Refuse(lut);
    lines.Next();
    int sizes[3] = {0, 0, 0};
    const std::string_view third = lines.Next().text;
    if (ScanLine(third.data(), third.size(), "%d %d %d", &sizes[0], &sizes[1], &sizes[2]) != 3 ||
        sizes[0] != sizes[1] || sizes[0] != sizes[2] || sizes[0] < 2 ||
        sizes[0] > kLargestLatticeSize)
        return Refuse(lut);
    if (!lut.Create(uint32_t(sizes[0]), true))
        return Refuse(lut);
    Spi3dReader reader(lut, sizes[0]);
    if (!reader.Read(lines, text + size))
        return Refuse(lut);
    if (requirement == EDimensionRequirement::eOnly1D)
        return Fail(lut);
    if (upsample && !lut.UpsampleToPowerOfTwo(kLargestUpsampledSize))
        return Refuse(lut);
    lut.DeletePreLUT();
    lut.SetDomainUniform(0.0f, 1.0f);
    return EReaderResult::eLoaded;
}
