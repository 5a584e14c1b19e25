#pragma once

#include "foundation/vx_string.h"

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
        size_t pos = UpperBound(hash);
        m_elements.insert(m_elements.begin() + pos, Element{key, std::move(value), hash});
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
    size_t LowerBound(uint32_t hash) const {
        size_t lo = 0, hi = m_elements.size();
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (m_elements[mid].hash < hash)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    size_t UpperBound(uint32_t hash) const {
        size_t pos = LowerBound(hash);
        while (pos < m_elements.size() && m_elements[pos].hash == hash)
            ++pos;
        return pos;
    }
    int IndexOf(const CVxString& key, uint32_t hash) const {
        for (size_t i = LowerBound(hash); i < m_elements.size() && m_elements[i].hash == hash; ++i)
            if (m_elements[i].key.Compare(key, CVxString::ECompareMode::eCaseInsensitive) == 0)
                return static_cast<int>(i);
        return -1;
    }

    std::vector<Element> m_elements;
};
