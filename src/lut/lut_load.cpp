#include "lut/curve_set.h"
#include "lut/lut.h"
#include "lut/lut_folder_index.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "foundation/posix_file.h"
#include "foundation/settings.h"
#include "platform/ascii.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int64_t kMaxFileSize = 209715200; // 200 MiB
constexpr size_t kLookProbeLength = 1024;
constexpr uint32_t kCurveFallbackEntries = 1024;

// Unlike the other callers of the resolver, Load turns slashes into
// backslashes first, so that an absolute path written with slashes stands as it
// is and a relative one is looked up in its backslash form.
CVxString ResolveLutPath(const CVxString& path) {
    CVxString normalised = path;
    normalised.SlashesToBackslashes();
    return ResolveLutName(normalised);
}

struct FileBytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
};

bool ReadWholeFile(const CVxString& path, FileBytes& bytes) {
    CVxPosixFile file;
    if (!file.Open(path, "rb"))
        return false;
    const int64_t size = file.Size();
    if (size < 0 || size > kMaxFileSize)
        return false;
    bytes.size = static_cast<size_t>(size);
    // One spare byte keeps a NUL after the text for readers that want one.
    bytes.data.reset(new (std::nothrow) uint8_t[bytes.size + 1]);
    if (!bytes.data)
        return false;
    bytes.data[bytes.size] = 0;
    return file.Read(bytes.data.get(), bytes.size) == bytes.size;
}

bool HasVxtxMagic(const uint8_t* data, size_t size) {
    return size > 16 && (std::memcmp(data, "VXTX", 4) == 0 || std::memcmp(data, "VTX2", 4) == 0);
}

// Runs the readers in their recognition order. Only the text readers may hand
// a file on; every other match decides.
EReaderResult RecogniseAndRead(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                               EDimensionRequirement requirement) {
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
    return Read3dlLut(lut, data, size, upsample, requirement);
}

} // namespace

bool LooksLikeLookDocument(const uint8_t* data, size_t size) {
    size_t end = size < kLookProbeLength ? size : kLookProbeLength;
    size_t begin = 0;
    while (begin < end && ascii::IsBlankOrBreak(static_cast<char>(data[begin])))
        ++begin;
    while (end > begin && ascii::IsBlankOrBreak(static_cast<char>(data[end - 1])))
        --end;
    const char* text = reinterpret_cast<const char*>(data);
    if (end - begin < 5 || !ascii::EqualsNoCase(std::string_view(text + begin, 5), "<?xml"))
        return false;
    static const char kLookTag[] = "<look>";
    for (size_t i = begin + 5; i + 6 <= end; ++i)
        if (std::memcmp(data + i, kLookTag, 6) == 0)
            return true;
    return false;
}

bool LoadCurveSetFallback(CVxLUT& lut, const CVxString& path) {
    CurveSetHolder set(new (std::nothrow) CVxCurveSet());
    // The set's own LUT attempt stays off: it would come straight back here.
    if (!set || !set->Read(path, nullptr, false))
        return false;
    if (!lut.Create(kCurveFallbackEntries, false) ||
        !set->Sample(kCurveFallbackEntries, lut.m_data))
        return false;
    lut.SetDomainUniform(0.0f, 1.0f);
    return true;
}

bool CVxLUT::Load(const CVxString& path, bool upsampleToPowerOfTwo,
                  EDimensionRequirement dimensionRequirement, bool allowCurveFallback) {
    const CVxString resolved = ResolveLutPath(path);
    FileBytes bytes;
    if (!ReadWholeFile(resolved, bytes))
        return false;
    const bool upsample = GlobalSettings().UserStore().GetBoolRecorded(
                              "ColorTransforms.AlwaysUpsampleToPoT", false) ||
                          upsampleToPowerOfTwo;
    EReaderResult result =
        RecogniseAndRead(*this, bytes.data.get(), bytes.size, upsample, dimensionRequirement);
    if (result == EReaderResult::eLoaded)
        return true;
    DeletePreLUT();
    Clear();
    if (result == EReaderResult::eFailed)
        return false;
    if (!allowCurveFallback || dimensionRequirement == EDimensionRequirement::eOnly3D)
        return false;
    bytes.data.reset();
    if (LoadCurveSetFallback(*this, resolved))
        return true;
    DeletePreLUT();
    Clear();
    return false;
}
