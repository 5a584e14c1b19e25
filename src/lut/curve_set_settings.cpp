#include "lut/curve_set_formats.h"
#include "lut/lut_text.h"

#include "foundation/vx_string.h"
#include "foundation/xml_tree.h"
#include "foundation/xml_values.h"
#include "platform/ascii.h"

#include <cmath>
#include <cstring>
#include <vector>

// Log-to-linear conversion settings, for all channels at once or per channel.

namespace {

// Longer tokens are no number of these formats; refusing them early keeps the
// copies on the stack.
constexpr size_t kLongestToken = 255;
constexpr uint32_t kLargestCode = 1023;
constexpr double kCodeScale = 1023.0;
constexpr double kFullScale = 255.0;

// A NUL-terminated copy of a token, or nothing when it is too long.
class TokenCopy {
public:
    TokenCopy(const char* begin, size_t length) {
        if (length > kLongestToken)
            return;
        std::memcpy(m_text, begin, length);
        m_text[length] = 0;
        m_valid = std::memchr(m_text, 0, length) == nullptr;
    }
    bool IsValid() const { return m_valid; }
    const char* Text() const { return m_text; }

private:
    char m_text[kLongestToken + 1];
    bool m_valid = false;
};

enum class EConversionKey : uint8_t {
    eGammaDisplay,
    eGammaLog,
    eReferenceBlack,
    eReferenceWhite,
    eSoftClip,
    eBypass,
    eUnknown
};

struct ConversionKeyName {
    const char* name;
    EConversionKey key;
};

const ConversionKeyName kConversionKeys[] = {
    {"GammaDisplay", EConversionKey::eGammaDisplay},
    {"GammaLog", EConversionKey::eGammaLog},
    {"ReferenceBlack", EConversionKey::eReferenceBlack},
    {"ReferenceWhite", EConversionKey::eReferenceWhite},
    {"SoftClip", EConversionKey::eSoftClip},
    {"BypassLUT", EConversionKey::eBypass},
};

EConversionKey ConversionKeyOf(const char* name, size_t length) {
    for (const ConversionKeyName& entry : kConversionKeys)
        if (TextEqualsNoCase(name, length, entry.name))
            return entry.key;
    return EConversionKey::eUnknown;
}

// Stores one value; false when the key is unknown or the value does not parse
// or lies outside its range.
bool SetConversionValue(EConversionKey key, const char* value, size_t length,
                        ConversionSettings& settings, bool& bypass) {
    switch (key) {
    case EConversionKey::eGammaDisplay:
        return ParseDecimalToken(value, length, 0.0, DBL_MAX, settings.gammaDisplay);
    case EConversionKey::eGammaLog:
        return ParseDecimalToken(value, length, 0.0, DBL_MAX, settings.gammaLog);
    case EConversionKey::eReferenceBlack:
        return ParseUnsignedToken(value, length, kLargestCode, settings.referenceBlack);
    case EConversionKey::eReferenceWhite:
        return ParseUnsignedToken(value, length, kLargestCode, settings.referenceWhite);
    case EConversionKey::eSoftClip:
        return ParseUnsignedToken(value, length, kLargestCode, settings.softClip);
    case EConversionKey::eBypass:
        return ParseBoolToken(value, length, bypass);
    case EConversionKey::eUnknown:
        break;
    }
    return false;
}

void ApplyConversion(CurveQuad curves, const ConversionSettings channels[3], bool bypass) {
    for (int c = 0; c < 3; ++c) {
        if (bypass) {
            MakeIdentity(*curves[c]);
        } else {
            BuildConversionCurve(*curves[c], channels[c]);
        }
    }
    MakeIdentity(*curves[3]);
}

inline bool IsKeySeparator(char c) {
    return c == ' ' || c == '\t' || c == '=';
}

// (10^(code/300))^q: the density-to-intensity step of the conversion.
double Intensity(double code, double q) {
    return std::pow(std::pow(10.0, code / 300.0), q);
}

// Truncation toward zero into 0..255; NaN and negatives give 0.
double TruncateToFullScale(double value) {
    if (!(value > 0.0))
        return 0.0;
    if (value >= kFullScale)
        return kFullScale;
    return std::trunc(value);
}

// Collects the values of a "Log10Bit" group wherever it stands in the
// document; a later value of the same key replaces the earlier one.
class Log10BitGroup : public XMLTreeSink {
public:
    void OnElement(const CVxString& key) override {
        const int lastDot = key.ReverseFind('.');
        const uint32_t nameStart = static_cast<uint32_t>(lastDot + 1);
        m_found = m_found ||
                  TextEqualsNoCase(key.c_str() + nameStart, key.Length() - nameStart, "Log10Bit");
    }

    void OnValue(const CVxString& key, const CVxString& value) override {
        const int lastDot = key.ReverseFind('.');
        if (lastDot <= 0)
            return;
        const int groupDot = key.ReverseFind('.', static_cast<uint32_t>(lastDot - 1));
        const uint32_t groupStart = static_cast<uint32_t>(groupDot + 1);
        if (!TextEqualsNoCase(key.c_str() + groupStart, static_cast<uint32_t>(lastDot) - groupStart,
                              "Log10Bit"))
            return;
        const CVxString name = key.Mid(static_cast<uint32_t>(lastDot + 1));
        for (auto& entry : m_values) {
            if (entry.first.EqualsNoCase(name.c_str())) {
                entry.second = value;
                return;
            }
        }
        m_values.emplace_back(name, value);
    }

    // A Log10Bit element was there, empty or not.
    bool Found() const { return m_found; }
    const std::vector<std::pair<CVxString, CVxString>>& Values() const { return m_values; }

private:
    bool m_found = false;
    std::vector<std::pair<CVxString, CVxString>> m_values;
};

// A per-channel key: a conversion key with R, G or B appended, or BypassLUT.
bool SetChannelValue(const CVxString& name, const CVxString& value, ConversionSettings channels[3],
                     bool& bypass) {
    const char* text = name.c_str();
    const size_t length = name.Length();
    if (ConversionKeyOf(text, length) == EConversionKey::eBypass)
        return ParseBoolToken(value.c_str(), value.Length(), bypass);
    if (length < 2)
        return true;
    static const char kChannelLetters[] = "RGB";
    const char* letter = std::strchr(kChannelLetters, ascii::Upper(text[length - 1]));
    const EConversionKey key = ConversionKeyOf(text, length - 1);
    if (letter == nullptr || *letter == 0 || key == EConversionKey::eUnknown ||
        key == EConversionKey::eBypass)
        return true; // not a key of the group: passed over
    ConversionSettings& channel = channels[letter - kChannelLetters];
    return SetConversionValue(key, value.c_str(), value.Length(), channel, bypass);
}

} // namespace

bool TextStartsWithNoCase(const char* text, size_t length, const char* prefix) {
    const size_t prefixLength = std::strlen(prefix);
    return length >= prefixLength && ascii::EqualsNoCase({text, prefixLength}, prefix);
}

bool TextEqualsNoCase(const char* text, size_t length, const char* word) {
    return std::strlen(word) == length && TextStartsWithNoCase(text, length, word);
}

bool ParseUnsignedToken(const char* begin, size_t length, uint32_t hi, uint32_t& out) {
    // Digits only and within 64 bits, as ParseXMLUInt32 reads a copy of the token.
    if (length == 0 || length > kLongestToken)
        return false;
    // Up to 19 digits stay within 64 bits.
    const bool mayOverflow = length > 19;
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i) {
        const uint64_t digit = uint64_t(begin[i] - '0');
        if (!ascii::IsDigit(begin[i]) || (mayOverflow && value > (UINT64_MAX - digit) / 10))
            return false;
        value = value * 10 + digit;
    }
    if (value > hi)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool ParseDecimalToken(const char* begin, size_t length, double lo, double hi, double& out) {
    const TokenCopy copy(begin, length);
    return copy.IsValid() && ParseXMLDouble(copy.Text(), out, lo, hi);
}

bool ParseBoolToken(const char* begin, size_t length, bool& out) {
    const TokenCopy copy(begin, length);
    return copy.IsValid() && ParseXMLBool(copy.Text(), out);
}

void MakeIdentity(CVxCurve& curve) {
    curve.Empty();
    curve.AddPoint(0.0, 0.0);
    curve.AddPoint(1.0, 1.0);
}

void BuildConversionCurve(CVxCurve& curve, const ConversionSettings& settings) {
    const double q = settings.gammaLog / settings.gammaDisplay;
    const double black = settings.referenceBlack;
    const double white = settings.referenceWhite;
    const double softClip = settings.softClip;
    const double gain = kFullScale / (1.0 - Intensity(black - white, q));
    const double offset = gain - kFullScale;
    curve.Reserve(kLargestCode + 1);
    const int64_t kneeCode = int64_t(settings.referenceWhite) - int64_t(settings.softClip);
    for (int64_t i = 0; i <= kneeCode; ++i) {
        const double value = TruncateToFullScale(Intensity(double(i) - white, q) * gain - offset);
        curve.AppendPoint(double(i) / kCodeScale, value / kFullScale);
    }
    const double knee = Intensity(-softClip, q) * gain - offset;
    const double step = (kFullScale - knee) / std::pow(5.0 * softClip, softClip / 100.0);
    double j = 1.0;
    for (int64_t k = kneeCode + 1; k <= int64_t(kLargestCode); ++k, j += 1.0) {
        const double value = TruncateToFullScale(std::pow(j, softClip / 100.0) * step + knee);
        curve.AppendPoint(double(k) / kCodeScale, value / kFullScale);
    }
    curve.FinishAppending();
}

bool ReadConversionSettings(const char* text, size_t length, CurveQuad curves) {
    ConversionSettings settings;
    bool bypass = false;
    bool anyKey = false;
    TextLines lines(reinterpret_cast<const uint8_t*>(text), length);
    while (lines.Next()) {
        const char* line = lines.Begin();
        const size_t lineLength = lines.Length();
        size_t keyLength = 0;
        while (keyLength < lineLength && !IsKeySeparator(line[keyLength]))
            ++keyLength;
        size_t valueStart = keyLength;
        while (valueStart < lineLength && IsKeySeparator(line[valueStart]))
            ++valueStart;
        const std::string_view valueText =
            CVxString::Trim({line + valueStart, lineLength - valueStart});
        const char* value = valueText.data();
        const size_t valueLength = valueText.size();
        if (valueLength == 0)
            continue;
        const EConversionKey key = ConversionKeyOf(line, keyLength);
        if (!SetConversionValue(key, value, valueLength, settings, bypass))
            return false;
        anyKey = true;
    }
    if (!anyKey)
        return false;
    const ConversionSettings channels[3] = {settings, settings, settings};
    ApplyConversion(curves, channels, bypass);
    return true;
}

bool ReadLog10BitSettings(const char* text, size_t length, CurveQuad curves) {
    Log10BitGroup group;
    // An empty group sets every key to its default.
    if (!ReadXMLTree(XmlTextView(text, length), CVxString(), group) || !group.Found())
        return false;
    ConversionSettings channels[3];
    bool bypass = false;
    for (const auto& [name, value] : group.Values())
        if (!SetChannelValue(name, value, channels, bypass))
            return false;
    ApplyConversion(curves, channels, bypass);
    return true;
}
