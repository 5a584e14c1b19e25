#pragma once

#include "foundation/vx_string.h"
#include "foundation/xml_text.h"

// Receives the values the tree reader finds in a document.
class XMLTreeSink {
public:
    virtual ~XMLTreeSink() = default;
    // A leaf value under its dotted key, the prefix already removed.
    virtual void OnValue(const CVxString& key, const CVxString& value) = 0;
    // An element's start, under its dotted key (prefix removed as for values),
    // whether or not anything is inside it.
    virtual void OnElement(const CVxString& /*key*/) {}
};

// Walks a whole document of nested elements into dotted keys: an element's key
// is its parent's key, a dot and its name. The document is a sequence of
// elements; blanks and constructs opening with "<!" or "<?" (each up to its
// first ">") are skipped before every element. A start tag is "<", a name
// ('_' or a letter, then letters, digits, '_' and '-'), optional blanks and
// ">"; an end tag is optional blanks, "</", the element's name in any letter
// case, optional blanks and ">". Every element holds either one double-quoted
// value (no escapes) or child elements. A value whose key lies below `prefix`
// (prefix + ".", any letter case) is handed to the sink without that part;
// others are read but not handed on. An empty prefix hands on every value. False on any syntax
// error, after the values read before it were handed on.
bool ReadXMLTree(XmlTextView text, const CVxString& prefix, XMLTreeSink& sink);
