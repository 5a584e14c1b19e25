#include "lut/curve_set_formats.h"
#include "lut/lut_text.h"

#include "foundation/vx_string.h"
#include "platform/ascii.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

// Integer tables, curve expressions and columns.

namespace {

using EInterpolation = CVxCurve::EInterpolation;
using EExtrapolation = CVxCurve::EExtrapolation;

constexpr uint32_t kLargestTableChannels = 3;
constexpr uint32_t kLargestTableEntries = 1024;
constexpr uint32_t kLargestIntegerValue = 65535;
constexpr double kTableStep = 1023.0;
constexpr double kSmallestXDivisor = 1e-9;
constexpr double kFullScaleTolerance = 1e-9;
constexpr double kLargestAngle = 100.0;
constexpr double kPi = 3.14159265358979323846;

// The separators of the formats are all below 64: one bit each.
struct Separators {
    explicit Separators(const char* list) {
        for (; *list != 0; ++list)
            mask |= uint64_t(1) << uint8_t(*list);
    }
    bool Has(char c) const { return uint8_t(c) < 64 && (mask >> uint8_t(c) & 1) != 0; }
    uint64_t mask = 0;
};

struct Token {
    Token() = default;
    Token(const char* text, size_t size) : begin(text), length(size) {}
    explicit Token(std::string_view text) : begin(text.data()), length(text.size()) {}
    std::string_view View() const { return {begin, length}; }

    const char* begin = nullptr;
    size_t length = 0;
};

// Cuts a line at runs of the separator characters; returns how many tokens
// there are, filling at most `capacity` of them.
size_t SplitTokens(const char* line, size_t length, const char* separators, Token* tokens,
                   size_t capacity) {
    const Separators set(separators);
    size_t count = 0;
    size_t i = 0;
    while (i < length) {
        while (i < length && set.Has(line[i]))
            ++i;
        if (i == length)
            break;
        const size_t start = i;
        while (i < length && !set.Has(line[i]))
            ++i;
        if (count < capacity)
            tokens[count] = Token{line + start, i - start};
        ++count;
    }
    return count;
}

// The full scale of integer curves is 255, 1023 or 65535, whichever the
// largest value fits; with scaleX the inputs are brought to [0, 1] as well.
void NormaliseIntegerCurves(CurveQuad curves, bool scaleX) {
    double largestY = 0.0;
    double largestX = 0.0;
    for (int c = 0; c < 4; ++c) {
        for (size_t i = 0; i < curves[c]->PointCount(); ++i) {
            const CurvePoint& point = curves[c]->Point(i);
            largestY = point.y > largestY ? point.y : largestY;
            largestX = point.x > largestX ? point.x : largestX;
        }
    }
    double fullScale = 65535.0;
    if (largestY <= 255.0 + kFullScaleTolerance)
        fullScale = 255.0;
    else if (largestY <= 1023.0 + kFullScaleTolerance)
        fullScale = 1023.0;
    const double xDivisor =
        !scaleX ? 1.0 : (largestX < kSmallestXDivisor ? kSmallestXDivisor : largestX);
    for (int c = 0; c < 4; ++c)
        curves[c]->ScaleDown(xDivisor, fullScale);
}

// The value of a table line: its first token before '#', a space or a tab.
Token TableValue(const char* line, size_t length) {
    size_t n = 0;
    while (n < length && line[n] != '#' && line[n] != ' ' && line[n] != '\t')
        ++n;
    return Token{line, n};
}

// A cursor over the text after "Lookup(".
class ExpressionCursor {
public:
    ExpressionCursor(const char* begin, const char* end) : m_pos(begin), m_end(end) {}

    bool SkipPastComma() {
        const char* comma = Find(',');
        if (comma == nullptr)
            return false;
        m_pos = comma + 1;
        return true;
    }

    bool ReadCurve(CVxCurve& curve) {
        Token name;
        Token extrapolation;
        EInterpolation kind;
        uint32_t extrapolationKind = 0;
        bool hasV = false;
        if (!PieceUpTo('(', name) || !KindOfName(name, kind, hasV))
            return false;
        Token unused;
        if (hasV && !PieceUpTo(',', unused))
            return false;
        if (!PieceUpTo(',', extrapolation) ||
            !ParseUnsignedToken(extrapolation.begin, extrapolation.length,
                                CVxCurve::kLastExtrapolation, extrapolationKind))
            return false;
        curve.SetInterpolation(kind);
        curve.SetExtrapolation(static_cast<EExtrapolation>(extrapolationKind));
        const bool hermite = kind == EInterpolation::eHermite;
        const char* listEnd = PointListEnd(hermite);
        if (listEnd == nullptr)
            return false;
        CurvePointBatch points;
        if (!ReadPoints(m_pos, listEnd, hermite, points))
            return false;
        m_pos = listEnd + 1;
        return points.AddTo(curve);
    }

private:
    const char* Find(char c) const {
        return static_cast<const char*>(std::memchr(m_pos, c, static_cast<size_t>(m_end - m_pos)));
    }

    // The trimmed text up to the next `stop`; the cursor moves past the stop.
    bool PieceUpTo(char stop, Token& piece) {
        const char* found = Find(stop);
        if (found == nullptr)
            return false;
        piece = Token(CVxString::Trim({m_pos, static_cast<size_t>(found - m_pos)}));
        m_pos = found + 1;
        return true;
    }

    static bool KindOfName(Token name, EInterpolation& kind, bool& hasV) {
        struct KindName {
            const char* name;
            EInterpolation kind;
        };
        static const KindName kKinds[] = {
            {"CSpline", EInterpolation::eHermiteAuto},
            {"NSpline", EInterpolation::eHermiteAuto},
            {"JSpline", EInterpolation::eHermiteMonotone},
            {"Hermite", EInterpolation::eHermite},
            {"Linear", EInterpolation::eLinear},
            {"Step", EInterpolation::eStep},
        };
        hasV = name.length > 0 && TextEqualsNoCase(name.begin + name.length - 1, 1, "V");
        for (const KindName& entry : kKinds) {
            if (TextEqualsNoCase(name.begin, name.length, entry.name)) {
                hasV = false;
                kind = entry.kind;
                return true;
            }
            if (hasV && TextEqualsNoCase(name.begin, name.length - 1, entry.name)) {
                kind = entry.kind;
                return true;
            }
        }
        return false;
    }

    // The ")" that closes the point list: the first one that does not close
    // a Hermite triple. Other parentheses fail the list.
    const char* PointListEnd(bool hermite) const {
        bool inTriple = false;
        for (const char* p = m_pos; p < m_end; ++p) {
            if (*p == '(') {
                if (!hermite || inTriple)
                    return nullptr;
                inTriple = true;
            } else if (*p == ')') {
                if (!inTriple)
                    return p;
                inTriple = false;
            }
        }
        return nullptr;
    }

    static bool ReadPoints(const char* begin, const char* end, bool hermite,
                           CurvePointBatch& points) {
        const Token whole(CVxString::Trim({begin, static_cast<size_t>(end - begin)}));
        if (whole.length == 0)
            return true;
        bool inTriple = false;
        const char* start = begin;
        for (const char* p = begin; p <= end; ++p) {
            if (p < end && *p == '(')
                inTriple = true;
            else if (p < end && *p == ')')
                inTriple = false;
            if (p < end && (inTriple || *p != ','))
                continue;
            if (!ReadPoint(start, p, hermite, points))
                return false;
            start = p + 1;
        }
        return true;
    }

    // value@position, or (value, angleIn, angleOut)@position for Hermite curves.
    static bool ReadPoint(const char* begin, const char* end, bool hermite,
                          CurvePointBatch& points) {
        const char* at =
            static_cast<const char*>(std::memchr(begin, '@', static_cast<size_t>(end - begin)));
        if (at == nullptr)
            return false;
        const Token value(CVxString::Trim({begin, static_cast<size_t>(at - begin)}));
        const Token position(CVxString::Trim({at + 1, static_cast<size_t>(end - at - 1)}));
        double x = 0.0;
        if (!ParseDecimalToken(position.begin, position.length, -DBL_MAX, DBL_MAX, x))
            return false;
        if (!hermite) {
            double y = 0.0;
            if (!ParseDecimalToken(value.begin, value.length, -DBL_MAX, DBL_MAX, y))
                return false;
            points.Add(x, y);
            return true;
        }
        if (value.length < 2 || value.begin[0] != '(' || value.begin[value.length - 1] != ')')
            return false;
        Token parts[3];
        if (SplitTokens(value.begin + 1, value.length - 2, ",", parts, 3) != 3)
            return false;
        double numbers[3];
        for (int k = 0; k < 3; ++k) {
            const Token part(CVxString::Trim(parts[k].View()));
            if (!ParseDecimalToken(part.begin, part.length, -DBL_MAX, DBL_MAX, numbers[k]))
                return false;
        }
        points.Add(x, numbers[0], AngleTangent(numbers[1]), AngleTangent(numbers[2]));
        return true;
    }

    // 100 stands for a vertical tangent.
    static double AngleTangent(double angle) {
        const double clamped = angle < -kLargestAngle
                                   ? -kLargestAngle
                                   : (angle > kLargestAngle ? kLargestAngle : angle);
        return std::tan(clamped * kPi / 200.0);
    }

    const char* m_pos;
    const char* m_end;
};

} // namespace

void CurvePointBatch::Add(double x, double y, double inTangent, double outTangent) {
    auto next = m_points.lower_bound(x);
    if (next != m_points.end() && std::fabs(next->first - x) <= CVxCurve::kSameXTolerance) {
        next->second.y = y;
        return;
    }
    if (next != m_points.begin()) {
        auto previous = std::prev(next);
        if (std::fabs(previous->first - x) <= CVxCurve::kSameXTolerance) {
            previous->second.y = y;
            return;
        }
    }
    m_points.emplace_hint(next, x, Value{y, inTangent, outTangent});
}

bool CurvePointBatch::AddTo(CVxCurve& curve) const {
    if (!curve.Reserve(curve.PointCount() + m_points.size()))
        return false;
    for (const auto& [x, value] : m_points)
        if (!curve.AppendPoint(x, value.y, value.inTangent, value.outTangent))
            return false;
    curve.FinishAppending();
    return true;
}

bool ReadIntegerTable(const char* text, size_t length, CurveQuad curves) {
    TextLines lines(reinterpret_cast<const uint8_t*>(text), length);
    bool header = false;
    while (!header && lines.Next())
        header = lines.Length() > 0 && lines.Begin()[0] != '#';
    if (!header)
        return false;
    Token tokens[3];
    uint32_t channels = 0;
    uint32_t count = 0;
    if (SplitTokens(lines.Begin(), lines.Length(), " \t:", tokens, 3) < 3 ||
        !TextEqualsNoCase(tokens[0].begin, tokens[0].length, "LUT") ||
        !ParseUnsignedToken(tokens[1].begin, tokens[1].length, kLargestTableChannels, channels) ||
        !ParseUnsignedToken(tokens[2].begin, tokens[2].length, kLargestTableEntries, count) ||
        channels == 0 || count == 0)
        return false;
    std::vector<uint32_t> values(size_t(channels) * count);
    for (size_t k = 0; k < values.size();) {
        if (!lines.Next())
            return false;
        const Token value = TableValue(lines.Begin(), lines.Length());
        if (value.length == 0)
            continue;
        if (!ParseUnsignedToken(value.begin, value.length, kLargestIntegerValue, values[k]))
            return false;
        ++k;
    }
    for (uint32_t c = 0; c < 3; ++c) {
        const uint32_t* column = &values[size_t(c < channels ? c : channels - 1) * count];
        CVxCurve& curve = *curves[c];
        for (uint32_t i = 0; i < count; ++i)
            curve.AppendPoint(i / kTableStep, column[i]);
        if (count < kLargestTableEntries)
            curve.AppendPoint(count / kTableStep, column[count - 1]);
    }
    NormaliseIntegerCurves(curves, false);
    MakeIdentity(*curves[3]);
    return true;
}

bool ReadCurveExpressions(const char* text, size_t length, CurveQuad curves) {
    const size_t found = std::string_view(text, length).find("Lookup");
    if (found == std::string_view::npos)
        return false;
    const char* lookup = text + found;
    const char* end = text + length;
    const Token rest(CVxString::Trim({lookup + 6, static_cast<size_t>(end - lookup - 6)}));
    if (rest.length == 0 || rest.begin[0] != '(')
        return false;
    ExpressionCursor cursor(rest.begin + 1, end);
    for (int c = 0; c < 4; ++c)
        if (!cursor.SkipPastComma() || !cursor.ReadCurve(*curves[c]))
            return false;
    return true;
}

namespace {

// A row in its usual form: three codes of up to five digits apart by spaces
// or tabs, with blanks around them. Returns where the row's line ends (its
// break, or `end`); null leaves the line to the general reading, which decides.
const char* ScanShortCodeRow(const char* p, const char* end, uint32_t codes[3]) {
    for (int c = 0; c < 3; ++c) {
        const char* blanks = p;
        while (p < end && ascii::IsBlank(*p))
            ++p;
        if (c > 0 && p == blanks)
            return nullptr;
        const char* digits = p;
        const char* digitsEnd = end - p > 5 ? p + 5 : end;
        uint32_t value = 0;
        for (uint32_t digit; p < digitsEnd && (digit = uint32_t(uint8_t(*p)) - '0') <= 9; ++p)
            value = value * 10 + digit;
        if (p == digits || value > kLargestIntegerValue)
            return nullptr;
        codes[c] = value;
    }
    while (p < end && ascii::IsBlank(*p))
        ++p;
    return p == end || ascii::IsLineBreak(*p) ? p : nullptr;
}

// A row in any form the format takes: three codes apart by runs of spaces or tabs.
bool ReadColumnRow(const char* line, size_t length, uint32_t codes[3]) {
    Token tokens[3];
    if (SplitTokens(line, length, " \t", tokens, 3) != 3)
        return false;
    for (int c = 0; c < 3; ++c)
        if (!ParseUnsignedToken(tokens[c].begin, tokens[c].length, kLargestIntegerValue, codes[c]))
            return false;
    return true;
}

} // namespace

bool ReadColumns(const char* text, size_t length, CurveQuad curves) {
    TextLines lines(reinterpret_cast<const uint8_t*>(text), length);
    const char* p = text;
    const char* end = text + length;
    double index = 0.0;
    for (;;) {
        while (p < end && ascii::IsLineBreak(*p))
            ++p;
        if (p == end)
            break;
        uint32_t codes[3];
        const char* lineEnd = ScanShortCodeRow(p, end, codes);
        if (lineEnd == nullptr) {
            lines.ResumeAt(p);
            lines.Next();
            lineEnd = lines.Rest();
            if (lines.Length() == 0) {
                p = lineEnd;
                continue;
            }
            if (!ReadColumnRow(lines.Begin(), lines.Length(), codes))
                return false;
        }
        for (int c = 0; c < 3; ++c)
            if (!curves[c]->AppendPoint(index, codes[c]))
                return false;
        index += 1.0;
        p = lineEnd;
    }
    NormaliseIntegerCurves(curves, true);
    MakeIdentity(*curves[3]);
    return true;
}
