#include "lut/lut_formats.h"

#include "foundation/byte_order.h"
#include "foundation/xml_reader.h"
#include "foundation/xml_values.h"

#include <bit>
#include <cstring>

namespace {

// Nibble of an upper-case hex digit; 0xFF for every byte the data value drops
// (lower-case digits included, as the files' writer never produces them).
struct HexTable {
    uint8_t nibble[256];
    HexTable() {
        std::memset(nibble, 0xFF, sizeof nibble);
        for (int c = '0'; c <= '9'; ++c)
            nibble[c] = static_cast<uint8_t>(c - '0');
        for (int c = 'A'; c <= 'F'; ++c)
            nibble[c] = static_cast<uint8_t>(c - 'A' + 10);
    }
};

const uint8_t* HexNibbles() {
    static const HexTable table;
    return table.nibble;
}

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Eight text bytes, the first in the lowest byte.
uint64_t LoadEightBytes(const char* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// When all eight bytes are upper-case hex digits, sets one nibble per byte and
// returns true. Each byte below 0x80 is tested without carries between bytes:
// b + (0x80 - lo) has its high bit set when b >= lo.
bool EightNibbles(uint64_t word, uint64_t& nibbles) {
    const uint64_t digits =
        (word + kEveryByte * (0x80 - '0')) & ~(word + kEveryByte * (0x80 - '9' - 1));
    const uint64_t letters =
        (word + kEveryByte * (0x80 - 'A')) & ~(word + kEveryByte * (0x80 - 'F' - 1));
    if ((word & kHighBits) || ((digits | letters) & kHighBits) != kHighBits)
        return false;
    // '0'-'9' keep their low nibble; 'A'-'F' have 1 to 6 there and gain 9.
    nibbles = (word & kEveryByte * 0x0F) + ((letters & kHighBits) >> 7) * 9;
    return true;
}

// The four bytes that eight nibbles spell, the first in the lowest byte: byte
// 2k takes nibble 2k as its high half and nibble 2k+1 as its low one, then the
// even bytes are packed together.
uint64_t PackNibbles(uint64_t nibbles) {
    uint64_t pairs = ((nibbles << 4) | (nibbles >> 8)) & 0x00FF00FF00FF00FFull;
    pairs = (pairs | (pairs >> 8)) & 0x0000FFFF0000FFFFull;
    return (pairs | (pairs >> 16)) & 0xFFFFFFFFull;
}

// Decodes the kept hex digits pair by pair into `out`. Returns the number of
// bytes, or capacity + 1 as soon as the data would not fit; a lone last digit
// is dropped. Runs of sixteen digits between pairs, as the lines of a stored
// LUT hold them, are decoded at once.
size_t DecodeHex(const char* text, size_t length, uint8_t* out, size_t capacity) {
    const uint8_t* nibbles = HexNibbles();
    size_t count = 0;
    int high = -1;
    size_t i = 0;
    while (i < length) {
        uint64_t first, second;
        while (high < 0 && i + 16 <= length && count + 8 <= capacity &&
               EightNibbles(LoadEightBytes(text + i), first) &&
               EightNibbles(LoadEightBytes(text + i + 8), second)) {
            uint64_t bytes = PackNibbles(first) | PackNibbles(second) << 32;
            if constexpr (std::endian::native == std::endian::big)
                bytes = __builtin_bswap64(bytes);
            std::memcpy(out + count, &bytes, sizeof bytes);
            i += 16;
            count += 8;
        }
        if (i == length)
            break;
        const uint8_t value = nibbles[static_cast<uint8_t>(text[i++])];
        if (value == 0xFF) {
            while (i < length && nibbles[static_cast<uint8_t>(text[i])] == 0xFF)
                ++i;
            continue;
        }
        if (high < 0) {
            high = value;
            continue;
        }
        if (count == capacity)
            return capacity + 1;
        out[count++] = static_cast<uint8_t>((high << 4) | value);
        high = -1;
    }
    return count;
}

struct LookLutState {
    uint32_t size = 0;
    float domainMin[4] = {0, 0, 0, 1};
    float domainMax[4] = {1, 1, 1, 1};
};

bool ReadData(CVxLUT& lut, const CVxXMLReader& reader, const LookLutState& state) {
    if (state.size == 0 || !lut.Create(state.size, true))
        return false;
    const size_t entries = size_t(state.size) * state.size * state.size;
    const size_t capacity = entries * 12;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(lut.m_data);
    const XmlTextView data = reader.ValueInText();
    const size_t decoded = DecodeHex(data.Data(), data.Length(), bytes, capacity);
    if (decoded == 0 || decoded > capacity)
        return false;
    // Entries the data does not reach read as zero.
    std::memset(bytes + decoded, 0, capacity - decoded);
    if constexpr (std::endian::native == std::endian::big)
        SwapArray32(reinterpret_cast<uint32_t*>(bytes), entries * 3);
    ExpandRgbToRgba(lut.m_data, entries, 1.0f);
    return true;
}

// Reads the children of the LUT element; true when the table was filled.
bool ReadLutElement(CVxLUT& lut, CVxXMLReader& reader) {
    LookLutState state;
    const uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        // The data is read where it lies; only the short values are copied out.
        if (reader.TagIs("size")) {
            if (!ParseXMLUInt32(reader.Value().c_str(), state.size))
                return false;
        } else if (reader.TagIs("domainmin")) {
            if (!ParseXMLColor(reader.Value().c_str(), state.domainMin))
                return false;
        } else if (reader.TagIs("domainmax")) {
            if (!ParseXMLColor(reader.Value().c_str(), state.domainMax))
                return false;
        } else if (reader.TagIs("data")) {
            if (!ReadData(lut, reader, state))
                return false;
        }
    }
    if (lut.m_size == 0)
        return false;
    lut.SetDomain(state.domainMin, state.domainMax);
    return true;
}

// Moves the reader to the first start tag `name` (any case); false at the end
// of the document. `stopOnEnd` also gives up at an end tag directly after the
// last start tag read.
bool FindStartTag(CVxXMLReader& reader, const char* name, bool stopOnEnd) {
    for (;;) {
        bool isEnd = false;
        reader.Next(isEnd);
        if (reader.AtEnd() || (isEnd && stopOnEnd))
            return false;
        stopOnEnd = false;
        if (!isEnd && reader.TagIs(name))
            return true;
    }
}

bool ReadLook(CVxLUT& lut, CVxXMLReader& reader) {
    if (!FindStartTag(reader, "look", false))
        return false;
    if (!FindStartTag(reader, "LUT", true))
        return false;
    return ReadLutElement(lut, reader);
}

} // namespace

// A look stores a 3D lattice; its reader needs neither flag.
EReaderResult ReadLookLut(CVxLUT& lut, const uint8_t* data, size_t size, bool /*upsample*/,
                          EDimensionRequirement /*requirement*/) {
    CVxXMLReader reader{XmlTextView(reinterpret_cast<const char*>(data), size)};
    bool loaded = false;
    try {
        loaded = ReadLook(lut, reader);
    } catch (const CVxXMLParseError&) {
        loaded = false;
    }
    if (loaded)
        return EReaderResult::eLoaded;
    lut.Clear();
    return EReaderResult::eFailed;
}
