#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "platform/ascii.h"

#include <cstring>
#include <vector>

namespace {

struct CubeState {
    EDimensionRequirement requirement = EDimensionRequirement::eAnyDimension;
    float domainMin[4] = {0, 0, 0, 1};
    float domainMax[4] = {1, 1, 1, 1};
    bool sizeSeen = false;
    size_t expected = 0;
    size_t stored = 0;
};

// A comment, title, domain or size line was read, the line is data, or the load fails.
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
    lut.Clear();
    return EReaderResult::eFailed;
}

ELineOutcome ReadDomainLine(const TextLines& lines, CubeState& state) {
    if (!LineHasLiteralAfterBlanks(lines.Begin(), lines.Length(), "DOMAIN_"))
        return ELineOutcome::eData;
    char* word = WordBuffer(lines.Length());
    float values[3];
    const int count = ScanLine(lines.Begin(), lines.Length(), " DOMAIN_%s %f %f %f", word,
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

ELineOutcome ReadSizeLine(CVxLUT& lut, const TextLines& lines, CubeState& state) {
    if (!LineHasLiteralAfterBlanks(lines.Begin(), lines.Length(), "LUT_"))
        return ELineOutcome::eData;
    char* word = WordBuffer(lines.Length());
    unsigned size = 0;
    if (ScanLine(lines.Begin(), lines.Length(), " LUT_%s %u ", word, &size) != 2)
        return ELineOutcome::eData;
    const bool is3D = FirstWordIs(word, std::strlen(word), "3D_SIZE");
    if (is3D && state.requirement == EDimensionRequirement::eOnly1D)
        return ELineOutcome::eFailed;
    if (!is3D && state.requirement == EDimensionRequirement::eOnly3D)
        return ELineOutcome::eFailed;
    // Size 0 is no error: it makes an empty table that is complete at once.
    if (!lut.Create(size, is3D))
        return ELineOutcome::eFailed;
    state.sizeSeen = true;
    state.expected = is3D ? size_t(size) * size * size : size_t(size);
    return ELineOutcome::eKeyword;
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
    return ReadSizeLine(lut, lines, state);
}

} // namespace

EReaderResult ReadCubeLut(CVxLUT& lut, const uint8_t* data, size_t size, bool /*upsample*/,
                          EDimensionRequirement requirement) {
    CubeState state;
    state.requirement = requirement;
    TextLines lines(data, size);
    while (lines.Next()) {
        const ELineOutcome outcome = ReadKeywordLine(lut, lines, state);
        if (outcome == ELineOutcome::eFailed)
            return Fail(lut);
        if (outcome == ELineOutcome::eKeyword)
            continue;
        if (!state.sizeSeen)
            break;
        // A table of size 0, or one that a later size line shrank below what was
        // stored, has no room for this line.
        if (state.stored >= state.expected)
            break;
        float rgb[3];
        if (ScanFloatTriple(lines.Begin(), lines.Length(), rgb) != 3)
            break;
        float* entry = lut.m_data + state.stored * 4;
        entry[0] = rgb[0];
        entry[1] = rgb[1];
        entry[2] = rgb[2];
        entry[3] = 1.0f;
        if (++state.stored == state.expected)
            break;
    }
    if (!state.sizeSeen)
        return EReaderResult::eNotRecognised;
    if (state.stored < state.expected)
        return Fail(lut);
    lut.SetDomain(state.domainMin, state.domainMax);
    return EReaderResult::eLoaded;
}
