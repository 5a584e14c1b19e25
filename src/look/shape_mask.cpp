#include "look/shape_mask.h"

#include "foundation/xml_reader.h"
#include "foundation/xml_writer.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace {

const char* const kFieldNames[MaskPoint::kFieldCount] = {
    "inner", "innerprevtangent", "innernexttangent", "falloffexponent", "falloffweight", "detached",
    "outer", "outerprevtangent", "outernexttangent", "spline",          "smooth"};

enum class EFieldKind : uint8_t { ePosition, eNumber, eInteger };

EFieldKind KindOf(MaskPoint::EField field) {
    switch (field) {
    case MaskPoint::EField::eFalloffExponent:
    case MaskPoint::EField::eFalloffWeight:
        return EFieldKind::eNumber;
    case MaskPoint::EField::eDetached:
    case MaskPoint::EField::eSpline:
    case MaskPoint::EField::eSmooth:
        return EFieldKind::eInteger;
    default:
        return EFieldKind::ePosition;
    }
}

// Parses a decimal in [p, end) of the text; false when it is not one.
bool ParseNumberRange(const char* p, const char* end, double& out) {
    if (end - p > 64 || end <= p)
        return false;
    char local[72];
    std::memcpy(local, p, static_cast<size_t>(end - p));
    local[end - p] = 0;
    return ParseXMLDouble(local, out);
}

const char* FindAny(const char* p, const char* set) {
    while (*p && !std::strchr(set, *p))
        ++p;
    return p;
}

bool ReadPoint(CVxXMLReader& reader, MaskPoint& point) {
    bool ok = true;
    uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        for (int field = 0; field < MaskPoint::kFieldCount; ++field) {
            if (!reader.TagIs(kFieldNames[field]))
                continue;
            if (!point.fields[field].Parse(reader.Value().c_str()))
                ok = false;
            break;
        }
    }
    return ok;
}

bool ReadContour(CVxXMLReader& reader, MaskContour& contour) {
    bool ok = true;
    contour.sets.assign(1, MaskPointSet());
    uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        if (reader.TagIs("positive")) {
            ParseXMLBool(reader.Value().c_str(), contour.positive);
        } else if (reader.TagIs("point")) {
            contour.sets.back().points.emplace_back();
            if (!ReadPoint(reader, contour.sets.back().points.back()))
                ok = false;
        } else if (reader.TagIs("nextset")) {
            MaskPointSet set;
            if (!ParseXMLDouble(reader.Value().c_str(), set.time))
                ok = false;
            contour.sets.push_back(std::move(set));
        }
    }
    return ok;
}

void WritePointLine(CVxString& out, uint32_t indent, int field, const MaskCurve& curve) {
    const char* tag = kFieldNames[field];
    const MaskPoint::EField kind = static_cast<MaskPoint::EField>(field);
    switch (KindOf(kind)) {
    case EFieldKind::ePosition:
        AppendXMLIndent(out, indent);
        AppendXMLFormat(out, "<%s>\"catmull-rom,value:%g,%g@0\"</%s>\n", tag, curve.StaticValue(0),
                        curve.StaticValue(1), tag);
        return;
    case EFieldKind::eNumber:
        AppendXMLIndent(out, indent);
        AppendXMLFormat(out, "<%s>\"catmull-rom,value:%g@0\"</%s>\n", tag, curve.StaticValue(0),
                        tag);
        return;
    case EFieldKind::eInteger: {
        int value = static_cast<int>(std::lround(curve.StaticValue(0)));
        AppendXMLIndent(out, indent);
        // The detached flag has always been written without quotes.
        if (kind == MaskPoint::EField::eDetached)
            AppendXMLFormat(out, "<%s>linear,value:%d@0</%s>\n", tag, value, tag);
        else
            AppendXMLFormat(out, "<%s>\"linear,value:%d@0\"</%s>\n", tag, value, tag);
        return;
    }
    }
}

} // namespace

bool MaskCurve::Parse(const char* text) {
    const char* comma = std::strchr(text, ',');
    if (!comma || comma == text)
        return false;
    MaskCurve parsed;
    parsed.interpolation.Assign(text, static_cast<uint32_t>(comma - text));
    const char* p = comma + 1;
    for (;;) {
        if (std::strncmp(p, "value:", 6) != 0)
            return false;
        p += 6;
        Key key;
        for (;;) {
            const char* end = FindAny(p, ",@");
            if (key.count == 2 || !ParseNumberRange(p, end, key.value[key.count]))
                return false;
            ++key.count;
            p = end + 1;
            if (*end == '@')
                break;
            if (*end != ',')
                return false;
        }
        const char* end = FindAny(p, ",");
        if (!ParseNumberRange(p, end, key.time))
            return false;
        parsed.keys.push_back(key);
        if (*end == 0)
            break;
        p = end + 1;
    }
    *this = std::move(parsed);
    return true;
}

double MaskCurve::StaticValue(uint32_t component) const {
    if (keys.empty() || component >= 2)
        return 0;
    const Key& key = keys.front();
    return component < key.count ? key.value[component] : 0;
}

CVxShapeMask* CVxShapeMask::ReadElement(CVxXMLReader& reader) {
    std::unique_ptr<CVxShapeMask> mask;
    CVxString name;
    double width = 0;
    double height = 0;
    uint32_t active = 0;
    bool ok = true;
    uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        if (reader.TagIs("name")) {
            name = reader.Value().Copy();
        } else if (reader.TagIs("width")) {
            ParseXMLDouble(reader.Value().c_str(), width);
        } else if (reader.TagIs("height")) {
            ParseXMLDouble(reader.Value().c_str(), height);
        } else if (reader.TagIs("activecontour")) {
            ParseXMLUInt32(reader.Value().c_str(), active);
        } else if (reader.TagIs("contour")) {
            if (!mask)
                mask = std::make_unique<CVxShapeMask>();
            mask->m_contours.emplace_back();
            if (!ReadContour(reader, mask->m_contours.back()))
                ok = false;
        }
    }
    if (!mask || !ok || mask->IsEmpty())
        return nullptr;
    mask->m_name = name;
    mask->m_width = width;
    mask->m_height = height;
    uint32_t last = static_cast<uint32_t>(mask->m_contours.size()) - 1;
    mask->m_activeContour = active < last ? active : last;
    return mask.release();
}

bool CVxShapeMask::IsAnimated() const {
    for (const MaskContour& contour : m_contours) {
        if (contour.sets.size() > 1)
            return true;
        for (const MaskPointSet& set : contour.sets)
            for (const MaskPoint& point : set.points)
                for (const MaskCurve& curve : point.fields)
                    if (curve.keys.size() > 1)
                        return true;
    }
    return false;
}

bool CVxShapeMask::IsEmpty() const {
    if (IsAnimated())
        return false;
    for (const MaskContour& contour : m_contours)
        if (contour.sets.size() != 1 || !contour.sets[0].points.empty())
            return false;
    return true;
}

void CVxShapeMask::WriteFields(CVxString& out, uint32_t indent) const {
    WriteXMLText(out, indent, "name", m_name);
    uint32_t active = m_activeContour < m_contours.size() ? m_activeContour : kNoContour;
    WriteXMLUInt(out, indent, "activecontour", active);
    WriteXMLDecimal(out, indent, "width", m_width, 15);
    WriteXMLDecimal(out, indent, "height", m_height, 15);
    for (const MaskContour& contour : m_contours) {
        WriteXMLOpen(out, indent, "contour");
        WriteXMLBool(out, indent + 2, "positive", contour.positive);
        if (!contour.sets.empty()) {
            for (const MaskPoint& point : contour.sets.front().points) {
                WriteXMLOpen(out, indent + 2, "point");
                for (int field = 0; field < MaskPoint::kFieldCount; ++field)
                    WritePointLine(out, indent + 4, field, point.fields[field]);
                WriteXMLClose(out, indent + 2, "point");
            }
        }
        WriteXMLClose(out, indent, "contour");
    }
}

void CVxShapeMask::WriteElement(CVxString& out, uint32_t indent, const char* tag) const {
    if (IsEmpty())
        return;
    WriteXMLOpen(out, indent, tag);
    WriteFields(out, indent + 2);
    WriteXMLClose(out, indent, tag);
}

void CVxShapeMask::WriteXML(CVxString& out, uint32_t indent) const {
    WriteElement(out, indent, "Mask");
}
