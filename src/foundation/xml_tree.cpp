#include "foundation/xml_tree.h"

#include "foundation/xml_reader.h"
#include "foundation/xml_writer.h"
#include "platform/ascii.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

bool SameNameNoCase(const char* a, const char* b, size_t length) {
    return ascii::EqualsNoCase(std::string_view(a, length), std::string_view(b, length));
}

class TreeWalker {
public:
    TreeWalker(const char* text, size_t length, const CVxString& prefix, IVxXMLTreeSink& sink)
        : m_pos(text), m_end(text + length), m_prefix(prefix), m_sink(sink) {}

    bool Run() {
        struct Open {
            const char* name;
            size_t nameLength;
            uint32_t keyLength; // key length before this element was appended
        };
        std::vector<Open> open;
        CVxString key;
        for (;;) {
            SkipBlanks();
            if (m_pos >= m_end)
                return open.empty();
            if (*m_pos != '<')
                return false;
            if (m_pos + 1 < m_end && m_pos[1] == '/') {
                if (open.empty())
                    return false;
                m_pos += 2;
                if (!ReadEndName(open.back().name, open.back().nameLength))
                    return false;
                key.SetLength(open.back().keyLength);
                open.pop_back();
                continue;
            }
            const char* elementStart = m_pos;
            ++m_pos;
            const char* name = m_pos;
            size_t nameLength = 0;
            if (!ReadName(false, nameLength) || m_pos >= m_end || *m_pos != '>')
                return false;
            ++m_pos;
            uint32_t parentLength = key.Length();
            if (!key.IsEmpty())
                key.Append('.');
            key.Append(name, static_cast<uint32_t>(nameLength));
            if (IVxXMLObjectFactory* factory = m_sink.FactoryFor(key)) {
                if (!ReadObject(factory, key, elementStart, name, nameLength))
                    return false;
                key.SetLength(parentLength);
                continue;
            }
            SkipBlanks();
            if (m_pos < m_end && *m_pos == '"') {
                if (!ReadValue(key))
                    return false;
                SkipBlanks();
                if (m_end - m_pos < 2 || m_pos[0] != '<' || m_pos[1] != '/')
                    return false;
                m_pos += 2;
                if (!ReadEndName(name, nameLength))
                    return false;
                key.SetLength(parentLength);
                continue;
            }
            if (m_pos < m_end && *m_pos != '<')
                return false;
            open.push_back(Open{name, nameLength, parentLength});
        }
    }

private:
    void SkipBlanks() {
        for (;;) {
            while (m_pos < m_end && ascii::IsBlankOrBreak(*m_pos))
                ++m_pos;
            if (m_end - m_pos < 2 || m_pos[0] != '<' || (m_pos[1] != '!' && m_pos[1] != '?'))
                return;
            const void* close = std::memchr(m_pos, '>', static_cast<size_t>(m_end - m_pos));
            m_pos = close ? static_cast<const char*>(close) + 1 : m_end;
        }
    }

    bool ReadName(bool allowDots, size_t& length) {
        const char* start = m_pos;
        if (m_pos >= m_end || !(ascii::IsLetter(*m_pos) || *m_pos == '_'))
            return false;
        ++m_pos;
        while (m_pos < m_end && (ascii::IsLetter(*m_pos) || ascii::IsDigit(*m_pos) ||
                                 *m_pos == '_' || *m_pos == '-' || (allowDots && *m_pos == '.')))
            ++m_pos;
        length = static_cast<size_t>(m_pos - start);
        return true;
    }

    bool ReadEndName(const char* name, size_t nameLength) {
        if (static_cast<size_t>(m_end - m_pos) < nameLength + 1 ||
            !SameNameNoCase(m_pos, name, nameLength) || m_pos[nameLength] != '>')
            return false;
        m_pos += nameLength + 1;
        return true;
    }

    bool ReadValue(const CVxString& key) {
        ++m_pos;
        const void* close = std::memchr(m_pos, '"', static_cast<size_t>(m_end - m_pos));
        if (!close)
            return false;
        const char* stop = static_cast<const char*>(close);
        uint32_t prefixLength = m_prefix.Length();
        bool below =
            prefixLength == 0 || (key.Length() > prefixLength + 1 && key[prefixLength] == '.' &&
                                  SameNameNoCase(key.c_str(), m_prefix.c_str(), prefixLength));
        if (below) {
            CVxString shortKey = prefixLength ? key.Mid(prefixLength + 1) : key;
            m_sink.OnValue(shortKey, CVxString(m_pos, static_cast<uint32_t>(stop - m_pos)));
        }
        m_pos = stop + 1;
        return true;
    }

    // Finds the end of a subtree in which names may hold dots.
    bool SkipSubtree(const char* name, size_t nameLength) {
        std::vector<std::pair<const char*, size_t>> open{{name, nameLength}};
        while (!open.empty()) {
            SkipBlanks();
            if (m_pos >= m_end)
                return false;
            if (*m_pos == '"') {
                const void* close =
                    std::memchr(m_pos + 1, '"', static_cast<size_t>(m_end - m_pos - 1));
                if (!close)
                    return false;
                m_pos = static_cast<const char*>(close) + 1;
                continue;
            }
            if (*m_pos != '<')
                return false;
            ++m_pos;
            if (m_pos < m_end && *m_pos == '/') {
                ++m_pos;
                if (!ReadEndName(open.back().first, open.back().second))
                    return false;
                open.pop_back();
                continue;
            }
            const char* childName = m_pos;
            size_t childLength = 0;
            if (!ReadName(true, childLength) || m_pos >= m_end || *m_pos != '>')
                return false;
            ++m_pos;
            open.emplace_back(childName, childLength);
        }
        return true;
    }

    bool ReadObject(IVxXMLObjectFactory* factory, const CVxString& key, const char* elementStart,
                    const char* name, size_t nameLength) {
        if (!SkipSubtree(name, nameLength))
            return false;
        CVxString document("<?xml version=\"1.0\" ?>\n\n");
        document.Append(elementStart, static_cast<uint32_t>(m_pos - elementStart));
        CVxXMLReader reader;
        reader.Open(document, false);
        try {
            bool isEnd = false;
            reader.Next(isEnd);
            if (IVxXMLObject* object = factory->CreateFromXML(reader))
                m_sink.OnObject(key, object);
        } catch (const CVxXMLParseError&) {
            return false;
        }
        return true;
    }

    const char* m_pos;
    const char* m_end;
    const CVxString& m_prefix;
    IVxXMLTreeSink& m_sink;
};

struct TreeNode {
    CVxString name;
    CVxString value;
    bool hasValue = false;
    std::vector<std::unique_ptr<TreeNode>> children;

    TreeNode& Child(const char* childName, uint32_t length) {
        for (auto& child : children)
            if (child->name.Length() == length &&
                SameNameNoCase(child->name.c_str(), childName, length))
                return *child;
        children.push_back(std::make_unique<TreeNode>());
        children.back()->name.Assign(childName, length);
        return *children.back();
    }
};

void WriteNode(CVxString& out, TreeNode& node, uint32_t indent, bool sorted, bool keepEmpty) {
    if (node.name.IsEmpty() || ascii::IsDigit(node.name[0]))
        return;
    if (!node.children.empty()) {
        WriteXMLOpen(out, indent, node.name.c_str());
        if (sorted)
            std::stable_sort(node.children.begin(), node.children.end(),
                             [](const auto& a, const auto& b) {
                                 return a->name.Compare(b->name, CVxString::eCaseInsensitive) < 0;
                             });
        for (auto& child : node.children)
            WriteNode(out, *child, indent + 2, sorted, keepEmpty);
        WriteXMLClose(out, indent, node.name.c_str());
        return;
    }
    if (node.hasValue && (keepEmpty || !node.value.IsEmpty()))
        WriteXMLText(out, indent, node.name.c_str(), node.value);
}

} // namespace

bool ReadXMLTree(const char* text, size_t length, const CVxString& prefix, IVxXMLTreeSink& sink) {
    TreeWalker walker(text, length, prefix, sink);
    return walker.Run();
}

void WriteXMLTree(CVxString& out, const std::vector<std::pair<CVxString, CVxString>>& values,
                  uint32_t indent, bool sorted, bool keepEmpty) {
    TreeNode root;
    for (const auto& [key, value] : values) {
        TreeNode* node = &root;
        const char* p = key.c_str();
        for (;;) {
            const char* dot = std::strchr(p, '.');
            uint32_t length =
                dot ? static_cast<uint32_t>(dot - p) : static_cast<uint32_t>(std::strlen(p));
            node = &node->Child(p, length);
            if (!dot)
                break;
            p = dot + 1;
        }
        node->value = value;
        node->hasValue = true;
    }
    if (sorted)
        std::stable_sort(root.children.begin(), root.children.end(),
                         [](const auto& a, const auto& b) {
                             return a->name.Compare(b->name, CVxString::eCaseInsensitive) < 0;
                         });
    for (auto& child : root.children)
        WriteNode(out, *child, indent, sorted, keepEmpty);
}
