#include "lut/curve_set.h"
#include "lut/lut.h"
#include "lut/lut_files.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "foundation/parallel_bands.h"
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
// once, by the first format that looks at them; only OpenColorIO opens the
// file again, by its path.
class FormatWalk {
public:
    FormatWalk(CVxLUT& lut, const LutFiles& source, const CVxString& path, bool upsample,
               EDimensionRequirement requirement, bool allowLastResort)
        : m_lut(lut), m_source(source), m_path(path), m_upsample(upsample),
          m_requirement(requirement), m_allowLastResort(allowLastResort),
          m_formatOfExtension(LutFormatOfExtension(path)) {
        SplitPath(path, nullptr, nullptr, &m_baseName, nullptr);
    }

    // The format that read the file; null when none did.
    const LutFormat* Run() {
        for (const LutFormat& format : LutFormats()) {
            const EStep step = Try(format);
            if (step != EStep::eNext)
                return step == EStep::eLoaded ? &format : nullptr;
        }
        return nullptr;
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
        case ELutRecognition::eNotRead:
            break;
        }
        return EStep::eNext;
    }

    EStep TryExtension(const LutFormat& format) {
        if (m_formatOfExtension != &format)
            return EStep::eNext;
        if (format.read) {
            if (!ReadBytes())
                return EStep::eFailed;
            const EReaderResult result =
                format.read(m_lut, reinterpret_cast<const uint8_t*>(m_bytes.Data()),
                            m_bytes.Length(), m_upsample, m_requirement);
            // A file the reader does not take is OpenColorIO's, where the build has it.
            if (result != EReaderResult::eNotRecognised || !format.readPath)
                return After(result == EReaderResult::eLoaded ? result : EReaderResult::eFailed);
        }
        const bool loaded = format.readPath(m_lut, m_source, m_path, m_upsample, m_requirement);
        return After(loaded ? EReaderResult::eLoaded : EReaderResult::eFailed);
    }

    // The file's bytes, read on first need; false when it cannot be read.
    bool ReadBytes() {
        if (m_bytesRead)
            return true;
        // A text this large is parsed on every core: the helpers start while
        // the file is read, which takes long enough to have them ready.
        if (m_source.files.Examine(m_path).stamp.size >= int64_t(kSmallestSplitText))
            StartHelpersAhead();
        // The spare 0 byte after the file ends the text for the readers that scan it.
        if (!m_source.files.ReadFile(m_path, m_bytes, kMaxFileSize))
            return false;
        m_bytesRead = true;
        return true;
    }

    EStep TryContents(const LutFormat& format) {
        // A format without a reader of its own is read by another's.
        if (!format.read && !format.readNamed)
            return EStep::eNext;
        if (!ReadBytes())
            return EStep::eFailed;
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
        if (format.read) {
            if (!ReadBytes())
                return EStep::eFailed;
            return After(format.read(m_lut, reinterpret_cast<const uint8_t*>(m_bytes.Data()),
                                     m_bytes.Length(), m_upsample, m_requirement));
        }
        m_bytes = CVxString(); // OpenColorIO reads the file itself, by its path
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

EReaderResult ReadCurveSetLut(CVxLUT& lut, const uint8_t* data, size_t size, bool,
                              EDimensionRequirement requirement) {
    if (requirement == EDimensionRequirement::eOnly3D)
        return EReaderResult::eNotRecognised;
    CurveSetHolder set(new (std::nothrow) CVxCurveSet());
    if (!set || !set->ReadBytes(data, size))
        return EReaderResult::eNotRecognised;
    if (!lut.Create(kCurveFallbackEntries, false) ||
        !set->Sample(kCurveFallbackEntries, lut.m_data))
        return EReaderResult::eNotRecognised;
    lut.SetDomainUniform(0.0f, 1.0f);
    return EReaderResult::eLoaded;
}

bool CVxLUT::Load(const LutFiles& source, const CVxString& path, bool upsampleToPowerOfTwo,
                  EDimensionRequirement dimensionRequirement, bool allowCurveFallback) {
    return LoadLutFile(*this, source, path, upsampleToPowerOfTwo, dimensionRequirement,
                       allowCurveFallback) != nullptr;
}

const LutFormat* LoadLutFile(CVxLUT& lut, const LutFiles& source, const CVxString& path,
                             bool upsampleToPowerOfTwo,
                             CVxLUT::EDimensionRequirement dimensionRequirement,
                             bool allowCurveFallback) {
    const CVxString resolved = ResolveLutPath(source, path);
    const bool upsample = source.alwaysUpsample || upsampleToPowerOfTwo;
    return FormatWalk(lut, source, resolved, upsample, dimensionRequirement, allowCurveFallback)
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
