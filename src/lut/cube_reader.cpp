#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include <vector>

namespace {

struct CubeState {
    float domainMin[4] = {0, 0, 0, 1};
    float domainMax[4] = {1, 1, 1, 1};
    bool sizeSeen = false;
    size_t expected = 0;
    size_t stored = 0;
};

enum class LineOutcome { eNext, eEndOfData, eFailed };

EReaderResult Fail(CVxLUT& lut) {
    lut.Clear();
    return EReaderResult::eFailed;
}

LineOutcome ReadDomainLine(const CVxTextLines& lines, CubeState& state, bool& matched) {
    matched = false;
    if (!LineHasLiteralAfterBlanks(lines.Begin(), lines.Length(), "DOMAIN_"))
        return LineOutcome::eNext;
    std::vector<char> word(lines.Length() + 1);
    float values[3];
    const int count = ScanLine(lines.Begin(), lines.Length(), " DOMAIN_%s %f %f %f", word.data(),
                               &values[0], &values[1], &values[2]);
    if (count != 4)
        return LineOutcome::eNext;
    matched = true;
    const CVxString name(word.data());
    float* target = nullptr;
    if (name.EqualsNoCase("MIN"))
        target = state.domainMin;
    else if (name.EqualsNoCase("MAX"))
        target = state.domainMax;
    else
        return LineOutcome::eFailed;
    for (int c = 0; c < 3; ++c)
        target[c] = values[c];
    return LineOutcome::eNext;
}

LineOutcome ReadSizeLine(CVxLUT& lut, const CVxTextLines& lines, CubeState& state, bool& matched) {
    matched = false;
    if (!LineHasLiteralAfterBlanks(lines.Begin(), lines.Length(), "LUT_"))
        return LineOutcome::eNext;
    std::vector<char> word(lines.Length() + 1);
    unsigned size = 0;
    if (ScanLine(lines.Begin(), lines.Length(), " LUT_%s %u ", word.data(), &size) != 2)
        return LineOutcome::eNext;
    matched = true;
    const bool is3D = CVxString(word.data()).EqualsNoCase("3D_SIZE");
    const int requirement = CurrentDimensionRequirement();
    if (is3D && requirement == CVxLUT::eOnly1D)
        return LineOutcome::eFailed;
    if (!is3D && requirement == CVxLUT::eOnly3D)
        return LineOutcome::eFailed;
    // A table without entries is no table: size 0 is refused like a size beyond the limits.
    if (size == 0 || !lut.Create(size, is3D))
        return LineOutcome::eFailed;
    state.sizeSeen = true;
    state.expected = is3D ? size_t(size) * size * size : size_t(size);
    return LineOutcome::eNext;
}

} // namespace

EReaderResult ReadCubeLut(CVxLUT& lut, const uint8_t* data, size_t size, bool /*upsample*/) {
    CubeState state;
    CVxTextLines lines(data, size);
    while (lines.Next()) {
        if (lines.StartsWith("#", true) || lines.StartsWith("TITLE", false))
            continue;
        bool matched = false;
        if (ReadDomainLine(lines, state, matched) == LineOutcome::eFailed)
            return Fail(lut);
        if (matched)
            continue;
        if (ReadSizeLine(lut, lines, state, matched) == LineOutcome::eFailed)
            return Fail(lut);
        if (matched)
            continue;
        if (!state.sizeSeen)
            break;
        // A later size line may have shrunk the table below what was stored.
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
