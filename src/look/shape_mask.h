#pragma once

#include "foundation/vx_string.h"
#include "foundation/xml_object.h"

#include <cstdint>
#include <vector>

class CVxXMLReader;

// One animatable value of a mask point: an interpolation name and keys of one
// or two numbers at a time, as in "catmull-rom,value:0.5,0.25@0".
struct MaskCurve {
    struct Key {
        double time = 0;
        double value[2] = {0, 0};
        uint32_t count = 0; // numbers given
    };
    CVxString interpolation;
    std::vector<Key> keys;

    // Parses "interpolation,value:v[,v]@time[,value:...@time]..."; false on
    // anything else (the curve is then unchanged).
    bool Parse(const char* text);
    // The value of the curve in a still frame: its first key (0 without keys).
    double StaticValue(uint32_t component) const;
};

// A control point of a contour: eleven curves in their fixed order.
struct MaskPoint {
    enum class EField : uint8_t {
        eInner,
        eInnerPrevTangent,
        eInnerNextTangent,
        eFalloffExponent,
        eFalloffWeight,
        eDetached,
        eOuter,
        eOuterPrevTangent,
        eOuterNextTangent,
        eSpline,
        eSmooth,
    };
    static constexpr int kFieldCount = 11;
    // Indexed by EField.
    MaskCurve fields[kFieldCount];
};

// The points of a contour from one time on.
struct MaskPointSet {
    double time = 0;
    std::vector<MaskPoint> points;
};

struct MaskContour {
    bool positive = true;
    std::vector<MaskPointSet> sets; // the first set starts at time 0
};

// The shape mask of a look: kept as read so that it can be written back.
class CVxShapeMask : public IVxXMLObject {
public:
    static constexpr uint32_t kNoContour = 0xFFFFFFFFu;

    CVxString m_name;
    double m_width = 0;
    double m_height = 0;
    uint32_t m_activeContour = kNoContour;
    std::vector<MaskContour> m_contours;

    // Reads a "mask" element (positioned on its start tag). Null when the
    // element holds no contour, a contour could not be read, or the mask is
    // empty. May throw CVxXMLParseError.
    static CVxShapeMask* ReadElement(CVxXMLReader& reader);

    // Not animated and every contour has one point set without points.
    bool IsEmpty() const;
    // More than one point set in a contour, or more than one key in a curve.
    bool IsAnimated() const;

    // Writes the mask's fields (name, activecontour, width, height, contours
    // with their current points in the static form) at `indent`.
    void WriteFields(CVxString& out, uint32_t indent) const;
    // A "mask" element as a look holds it; nothing when the mask is empty.
    void WriteElement(CVxString& out, uint32_t indent, const char* tag = "mask") const;

    // IVxXMLObject: the object form, a "Mask" element.
    void WriteXML(CVxString& out, uint32_t indent) const override;
    IVxXMLObject* Clone() const override { return new CVxShapeMask(*this); }
    void Release() override { delete this; }
};
