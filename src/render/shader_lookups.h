#pragma once

#include "foundation/vx_string.h"

#include <cstdint>
#include <vector>

class ShaderScript;

// The functions a `lookup` element can name.
enum class ELookupFunction : uint8_t { eNone, eLowMidHigh, eHLSRange, eGamma };

// Function named case-blind; eNone for any other name.
ELookupFunction LookupFunctionFromName(const CVxString& name);

// One `lookup`: a function of script variables writing three outputs into
// (row, channel) places of its table.
struct ShaderLookup {
    struct Target {
        uint8_t row;
        uint8_t channel; // 0 red, 1 green, 2 blue, 3 alpha
    };

    ELookupFunction function = ELookupFunction::eNone;
    CVxString lutName;
    // Script variable names in the order the function reads them, with the
    // component each scalar is read from (0 unless the name carries a suffix).
    std::vector<CVxString> variables;
    std::vector<uint8_t> components;
    Target targets[3] = {};
    uint32_t targetCount = 0;
};

// Parses a swizzle such as "0r,0g,0b"; false when an item is not a row digit and a channel letter.
bool ParseLookupSwizzle(const CVxString& text, ShaderLookup& lookup);

// A `lut` element: rows of 1024 RGBA float entries, filled by its lookups.
class ShaderLookupTable {
public:
    static constexpr uint32_t kEntries = 1024;
    static constexpr uint32_t kFloatsPerRow = kEntries * 4;

    ShaderLookupTable(const CVxString& name, uint32_t unit) : m_name(name), m_unit(unit) {}

    const CVxString& Name() const { return m_name; }
    uint32_t Unit() const { return m_unit; }
    // One more than the highest row any of its lookups writes.
    uint32_t RowCount() const { return m_rowCount; }
    const float* Row(uint32_t row) const { return m_data.data() + row * kFloatsPerRow; }
    const std::vector<float>& Data() const { return m_data; }
    const std::vector<ShaderLookup>& Lookups() const { return m_lookups; }

    void AddLookup(const ShaderLookup& lookup);

    // Recomputes the rows from the script's working values, but only when a
    // variable read by a lookup changed since the last fill. True when it recomputed.
    bool Update(const ShaderScript& script);

private:
    void Fill(const std::vector<double>& inputs);

    CVxString m_name;
    uint32_t m_unit;
    uint32_t m_rowCount = 0;
    std::vector<ShaderLookup> m_lookups;
    std::vector<float> m_data;
    std::vector<double> m_lastInputs;
    bool m_filled = false;
};
