#include "lut/curve_set.h"
#include "lut/lut.h"
#include "lut/lut_files.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"
#include "lut/ocio_reader.h"

#include "foundation/paths.h"
#include "platform/ascii.h"

#include <cstring>
#include <new>
#include <string_view>

namespace {

constexpr uint32_t kMaxFileSize = 209715200; // 200 MiB
constexpr size_t kLookProbeLength = 1024;
constexpr uint32_t kCurveFallbackEntries = 1024;

// Unlike the other callers of the resolver, Load turns slashes into
// backslashes first, so that an absolute path written with slashes stands as it
// is and a relative one is looked up in its backslash form.
CVxString ResolveLutPath(const LutFiles& source, const CVxString& path) {
    CVxString normalised = path;
    normalised.SlashesToBackslashes();
    return source.Resolve(normalised);
}

bool HasVxtxMagic(const uint8_t* data, size_t size) {
    return size > 16 && (std::memcmp(data, "VXTX", 4) == 0 || std::memcmp(data, "VTX2", 4) == 0);
}

// Runs the readers in their recognition order. Only the text readers may hand
// a file on; every other match decides.
EReaderResult RecogniseAndRead(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                               EDimensionRequirement requirement, std::string_view baseName) {
    if (HasVxtxMagic(data, size))
        return ReadVxtxLut(lut, data, size, upsample, requirement);
    if (size > 808 && HasCubrelMagic(data, size))
        return ReadCubrelLut(lut, data, size, upsample, requirement);
    if (LooksLikeLookDocument(data, size))
        return ReadLookLut(lut, data, size, upsample, requirement);
    const size_t mark = ByteOrderMarkLength(data, size);
    data += mark;
    size -= mark;
    EReaderResult result = ReadCubeLut(lut, data, size, upsample, requirement);
    if (result != EReaderResult::eNotRecognised)
        return result;
    result = ReadTruelightLut(lut, data, size, upsample, requirement);
    if (result != EReaderResult::eNotRecognised)
        return result;
    result = Read3dlLut(lut, data, size, upsample, requirement);
    if (result != EReaderResult::eNotRecognised)
        return result;
    return ReadDiscreet1dLut(lut, data, size, upsample, requirement, baseName);
}

} // namespace

bool LooksLikeLookDocument(const uint8_t* data, size_t size) {
    const std::string_view probe = CVxString::Trim(
        {reinterpret_cast<const char*>(data), size < kLookProbeLength ? size : kLookProbeLength});
    return ascii::EqualsNoCase(probe.substr(0, 5), "<?xml") &&
           probe.find("<look>", 5) != std::string_view::npos;
}

bool LoadCurveSetFallback(CVxLUT& lut, const LutFiles& source, const CVxString& path) {
    CurveSetHolder set(new (std::nothrow) CVxCurveSet());
    // The set's own LUT attempt stays off: it would come straight back here.
    if (!set || !set->Read(source, path, nullptr, false))
        return false;
    if (!lut.Create(kCurveFallbackEntries, false) ||
        !set->Sample(kCurveFallbackEntries, lut.m_data))
        return false;
    lut.SetDomainUniform(0.0f, 1.0f);
    return true;
}

bool CVxLUT::Load(const LutFiles& source, const CVxString& path, bool upsampleToPowerOfTwo,
                  EDimensionRequirement dimensionRequirement, bool allowCurveFallback) {
    const CVxString resolved = ResolveLutPath(source, path);
    const bool upsample = source.alwaysUpsample || upsampleToPowerOfTwo;
    // The one format chosen by its extension: OpenColorIO reads the file itself.
    if (IsOcioLutFile(resolved))
        return ReadOcioLut(*this, source.files, resolved, upsample, dimensionRequirement);
    // The spare 0 byte after the file ends the text for the readers that scan it.
    CVxString bytes;
    if (!source.files.ReadFile(resolved, bytes, kMaxFileSize))
        return false;
    CVxString baseName;
    SplitPath(resolved, nullptr, nullptr, &baseName, nullptr);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.Data());
    EReaderResult result =
        RecogniseAndRead(*this, data, bytes.Length(), upsample, dimensionRequirement,
                         std::string_view(baseName.c_str(), baseName.Length()));
    if (result == EReaderResult::eLoaded)
        return true;
    DeletePreLUT();
    Clear();
    if (result == EReaderResult::eFailed)
        return false;
    // Nothing to read fails as an unreadable file does, never as a black table.
    if (!TextHoldsData(data, bytes.Length()) || !allowCurveFallback)
        return false;
    bytes = CVxString(); // the fallbacks read the file again
    if (dimensionRequirement != EDimensionRequirement::eOnly3D &&
        LoadCurveSetFallback(*this, source, resolved))
        return true;
    DeletePreLUT();
    Clear();
    return ReadUnrecognisedLutThroughOcio(*this, source.files, resolved, upsample,
                                          dimensionRequirement) == EReaderResult::eLoaded;
}
