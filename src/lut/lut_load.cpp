#include "lut/curve_set.h"
#include "lut/lut.h"
#include "lut/lut_files.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "foundation/paths.h"
#include "platform/ascii.h"

#include <new>
#include <string_view>
#include <utility>

namespace {

constexpr uint32_t kMaxFileSize = kLargestLutFile;
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

enum class EStep : uint8_t { eNext, eLoaded, eFailed };

// One Load walking the formats in recognition order. The file's bytes are read
// once, by the first format that looks at them; a format that reads by path
// never needs them.
class FormatWalk {
public:
    FormatWalk(CVxLUT& lut, const LutFiles& source, const CVxString& path, bool upsample,
               EDimensionRequirement requirement, bool allowLastResort)
        : m_lut(lut), m_source(source), m_path(path), m_upsample(upsample),
          m_requirement(requirement), m_allowLastResort(allowLastResort),
          m_formatOfExtension(LutFormatOfExtension(path)) {
        SplitPath(path, nullptr, nullptr, &m_baseName, nullptr);
    }

    bool Run() {
        for (const LutFormat& format : LutFormats()) {
            const EStep step = Try(format);
            if (step != EStep::eNext)
                return step == EStep::eLoaded;
        }
        return false;
    }

    // The file's bytes, read by the caller: no format reads the file for them.
    void TakeBytes(CVxString&& bytes) {
        m_bytes = std::move(bytes);
        m_bytesRead = true;
    }

private:
    EStep Try(const LutFormat& format) {
        switch (format.recognition) {
        case ELutRecognition::eByContents:
            return TryContents(format);
        case ELutRecognition::eByExtension:
            return TryExtension(format);
        case ELutRecognition::eAsLastResort:
            return TryLastResort(format);
        }
        return EStep::eNext;
    }

    EStep TryExtension(const LutFormat& format) {
        if (m_formatOfExtension != &format)
            return EStep::eNext;
        const bool loaded = format.readPath(m_lut, m_source, m_path, m_upsample, m_requirement);
        return After(loaded ? EReaderResult::eLoaded : EReaderResult::eFailed);
    }

    EStep TryContents(const LutFormat& format) {
        // The spare 0 byte after the file ends the text for the readers that scan it.
        if (!m_bytesRead && !m_source.files.ReadFile(m_path, m_bytes, kMaxFileSize))
            return EStep::eFailed;
        m_bytesRead = true;
        const uint8_t* data = reinterpret_cast<const uint8_t*>(m_bytes.Data());
        size_t size = m_bytes.Length();
        if (format.textAfterByteOrderMark) {
            const size_t mark = ByteOrderMarkLength(data, size);
            data += mark;
            size -= mark;
        }
        if (format.probe && !format.probe(data, size))
            return EStep::eNext;
        if (format.readNamed)
            return After(
                format.readNamed(m_lut, data, size, m_upsample, m_requirement, m_baseName.View()));
        return After(format.read(m_lut, data, size, m_upsample, m_requirement));
    }

    EStep TryLastResort(const LutFormat& format) {
        // Nothing to read fails as an unreadable file does, never as a black table.
        if (m_bytesRead &&
            !TextHoldsData(reinterpret_cast<const uint8_t*>(m_bytes.Data()), m_bytes.Length()))
            return EStep::eFailed;
        if (!m_allowLastResort)
            return EStep::eNext;
        m_bytes = CVxString(); // a last resort reads the file again, by its path
        m_bytesRead = false;
        const bool loaded = format.readPath(m_lut, m_source, m_path, m_upsample, m_requirement);
        return After(loaded ? EReaderResult::eLoaded : EReaderResult::eNotRecognised);
    }

    // Where a reader's verdict leaves the walk. A table not loaded is left
    // empty; an unreadable file leaves the LUT as it was.
    EStep After(EReaderResult result) {
        if (result == EReaderResult::eLoaded)
            return EStep::eLoaded;
        m_lut.DeletePreLUT();
        m_lut.Clear();
        return result == EReaderResult::eFailed ? EStep::eFailed : EStep::eNext;
    }

    CVxLUT& m_lut;
    const LutFiles& m_source;
    const CVxString& m_path;
    CVxString m_baseName;
    const bool m_upsample;
    const EDimensionRequirement m_requirement;
    const bool m_allowLastResort;
    const LutFormat* const m_formatOfExtension;
    CVxString m_bytes;
    bool m_bytesRead = false;
};

} // namespace

bool LooksLikeLookDocument(const uint8_t* data, size_t size) {
    const std::string_view probe = CVxString::Trim(
        {reinterpret_cast<const char*>(data), size < kLookProbeLength ? size : kLookProbeLength});
    return ascii::EqualsNoCase(probe.substr(0, 5), "<?xml") &&
           probe.find("<look>", 5) != std::string_view::npos;
}

bool ReadCurveSetLut(CVxLUT& lut, const LutFiles& source, const CVxString& path, bool,
                     EDimensionRequirement requirement) {
    if (requirement == EDimensionRequirement::eOnly3D)
        return false;
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
    return FormatWalk(*this, source, resolved, upsample, dimensionRequirement, allowCurveFallback)
        .Run();
}

bool CVxLUT::LoadBytes(const LutFiles& source, const CVxString& path, CVxString&& bytes,
                       bool upsampleToPowerOfTwo, EDimensionRequirement dimensionRequirement,
                       bool allowCurveFallback) {
    // Bytes beyond the limit are those of a file that Load could not read.
    if (bytes.Length() > kMaxFileSize)
        return false;
    CVxString written = path;
    written.SlashesToBackslashes();
    const CVxString resolved = ResolveLutPath(source, path);
    const bool upsample = source.alwaysUpsample || upsampleToPowerOfTwo;
    FormatWalk walk(*this, source, resolved, upsample, dimensionRequirement, allowCurveFallback);
    if (resolved == written)
        walk.TakeBytes(std::move(bytes));
    return walk.Run();
}
