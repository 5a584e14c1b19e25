#include "lut/lut_formats.h"
#include "lut/lut_text.h"
#include "lut/ocio_reader.h"

#include "foundation/paths.h"
#include "platform/ascii.h"

#include <cstring>

// What Load does with a file that none of its formats recognised: refuse it
// when it holds nothing to read, and hand a .lut of another tool to
// OpenColorIO when no curve set reads it either.

namespace {

bool IsBlankLine(const char* line, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (!ascii::IsCSpace(line[i]))
            return false;
    return true;
}

} // namespace

bool TextHoldsData(const uint8_t* data, size_t size) {
    const void* nul = std::memchr(data, 0, size);
    if (nul != nullptr)
        size = static_cast<size_t>(static_cast<const uint8_t*>(nul) - data);
    const size_t mark = ByteOrderMarkLength(data, size);
    TextLines lines(data + mark, size - mark);
    while (lines.Next())
        if (lines.Length() > 0 && lines.Begin()[0] != '#' &&
            !IsBlankLine(lines.Begin(), lines.Length()))
            return true;
    return false;
}

bool ReadUnrecognisedLutThroughOcio(CVxLUT& lut, const LutFiles& source, const CVxString& path,
                                    bool upsample, EDimensionRequirement requirement) {
    CVxString extension;
    SplitPath(path, nullptr, nullptr, nullptr, &extension);
    return extension.EqualsNoCase(".lut") && ReadOcioLut(lut, source, path, upsample, requirement);
}
