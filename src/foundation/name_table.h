#pragma once

#include "foundation/vx_string.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// CRC-32 register (reflected polynomial 0xEDB88320, start 0xFFFFFFFF, no final
// inversion) over the name in upper case. Names differing only in case hash alike.
uint32_t NameHash(const char* name, uint32_t length);
inline uint32_t NameHash(const CVxString& name) {
    return NameHash(name.c_str(), name.Length());
}

// Searches in a vector kept sorted by its elements' `hash` member, where equal hashes
// keep their insertion order and names among them compare case-insensitively.

// The position after the last element of `hash`: where a new name of that hash goes.
template <typename Element>
size_t PositionAfterHash(const std::vector<Element>& elements, uint32_t hash) {
    return static_cast<size_t>(
        std::partition_point(elements.begin(), elements.end(),
                             [hash](const Element& element) { return element.hash <= hash; }) -
        elements.begin());
}

// Index of the element of `hash` whose name (nameOf(element)) equals `name`, -1 when none.
template <typename Element, typename NameOf>
int IndexByHash(const std::vector<Element>& elements, const CVxString& name, uint32_t hash,
                NameOf nameOf) {
    auto first =
        std::partition_point(elements.begin(), elements.end(),
                             [hash](const Element& element) { return element.hash < hash; });
    // Spelled out in full: GCC 12 fails on the class-scope enumerator names inside templates.
    for (auto it = first; it != elements.end() && it->hash == hash; ++it)
        if (nameOf(*it).Compare(name, CVxString::ECompareMode::eCaseInsensitive) == 0)
            return static_cast<int>(it - elements.begin());
    return -1;
}

// Growable array of (key, value, hash) kept sorted by hash; names are matched
// case-insensitively among equal hashes.
template <typename T> class NameTable {
public:
    struct Element {
        CVxString key;
        T value;
        uint32_t hash;
    };

    NameTable() { m_elements.reserve(128); }

    uint32_t Count() const { return static_cast<uint32_t>(m_elements.size()); }
    bool IsEmpty() const { return m_elements.empty(); }
    Element& At(uint32_t index) { return m_elements[index]; }
    const Element& At(uint32_t index) const { return m_elements[index]; }
    void Clear() { m_elements.clear(); }

    T* Find(const CVxString& key) {
        int index = IndexOf(key, NameHash(key));
        return index < 0 ? nullptr : &m_elements[index].value;
    }
    const T* Find(const CVxString& key) const { return const_cast<NameTable*>(this)->Find(key); }

    // Inserts after existing equal hashes; returns false (and changes nothing) when the name
    // exists.
    bool Insert(const CVxString& key, T value) {
        uint32_t hash = NameHash(key);
        if (IndexOf(key, hash) >= 0)
            return false;
        m_elements.insert(m_elements.begin() + PositionAfterHash(m_elements, hash),
                          Element{key, std::move(value), hash});
        return true;
    }

    // Inserts or replaces the value of an existing name.
    void Set(const CVxString& key, T value) {
        if (T* existing = Find(key)) {
            *existing = std::move(value);
            return;
        }
        Insert(key, std::move(value));
    }

private:
    int IndexOf(const CVxString& key, uint32_t hash) const {
        return IndexByHash(m_elements, key, hash,
                           [](const Element& e) -> const CVxString& { return e.key; });
    }

    std::vector<Element> m_elements;
};
