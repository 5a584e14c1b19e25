#pragma once

#include "foundation/vx_string.h"

#include <cstdint>

class CVxXMLReader;

// An object that writes itself as one XML element.
class IVxXMLObject {
public:
    virtual ~IVxXMLObject() = default;
    // Appends the object's element: its start tag indented by `indent` spaces,
    // children by indent + 2.
    virtual void WriteXML(CVxString& out, uint32_t indent) const = 0;
    virtual IVxXMLObject* Clone() const = 0;
    // Drops one reference; the object deletes itself at zero.
    virtual void Release() = 0;
};

// Reads objects back from their element.
class IVxXMLObjectFactory {
public:
    virtual ~IVxXMLObjectFactory() = default;
    // Positioned on the object's start tag: reads the element and returns a
    // new object, or null on failure. May throw CVxXMLParseError.
    virtual IVxXMLObject* CreateFromXML(CVxXMLReader& reader) = 0;
};
