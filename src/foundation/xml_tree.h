#pragma once

#include "foundation/vx_string.h"
#include "foundation/xml_object.h"

#include <cstddef>
#include <utility>
#include <vector>

// Receives what the tree reader finds in a document.
class IVxXMLTreeSink {
public:
    virtual ~IVxXMLTreeSink() = default;
    // A leaf value under its dotted key (the prefix already removed).
    virtual void OnValue(const CVxString& key, const CVxString& value) = 0;
    // The factory that reads the element at this full dotted key, if any.
    virtual IVxXMLObjectFactory* FactoryFor(const CVxString& fullKey) {
        (void)fullKey;
        return nullptr;
    }
    // An object a factory read; the sink takes over its reference.
    virtual void OnObject(const CVxString& fullKey, IVxXMLObject* object) {
        (void)fullKey;
        object->Release();
    }
};

// Walks a whole document into dotted keys: an element's key is its parent's
// key, a dot and its name. Names begin with '_' or a letter and go on with
// letters, digits, '_' and '-'. Every element holds either one quoted value
// or child elements. Values whose key lies below `prefix` (prefix + ".") are
// handed to the sink without that part; an empty prefix passes every key.
// An element whose key has a factory is read by that factory as a document
// of its own. False on any syntax error.
bool ReadXMLTree(const char* text, size_t length, const CVxString& prefix, IVxXMLTreeSink& sink);

// Writes dotted keys and values as nested elements at `indent`: a key with
// children becomes a container, one with a value a leaf. Empty values are
// written only when keepEmpty is set; names that begin with a digit are not
// written. Children are sorted by name (case-blind) when `sorted` is set,
// otherwise kept in the order of their first appearance.
void WriteXMLTree(CVxString& out, const std::vector<std::pair<CVxString, CVxString>>& values,
                  uint32_t indent, bool sorted, bool keepEmpty);
