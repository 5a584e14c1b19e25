// Parses the bytes as a shader definition, binds a value to every extern it
// declares (and to a few it does not), and reads the lookup tables back.
#include "fuzz_support.h"

#include "render/shader_definition.h"

#include <vector>

namespace {
volatile float sink;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ShaderDefinition definition;
    if (!definition.Parse(fuzz::TextOf(data, size)))
        return 0;
    std::vector<ShaderParameterValue> parameters;
    double value = 0.25;
    for (const ShaderExtern& declared : definition.Externs()) {
        parameters.push_back({declared.name, value});
        value = -value * 3.0;
    }
    parameters.push_back({"undeclared", 1.0});
    parameters.push_back({"", 1.0});
    for (const ShaderTextureList& list : definition.TextureLists())
        parameters.push_back({list.name, 2.0});
    definition.Bind(parameters);
    for (const ShaderExtern& declared : definition.Externs())
        definition.FindExtern(declared.name);
    for (const ShaderLookupTable& table : definition.LookupTables()) {
        const ShaderLookupTable* found = definition.FindLookupTable(table.Name());
        if (found && found->RowCount() != 0)
            sink = found->Row(found->RowCount() - 1)[ShaderLookupTable::kFloatsPerRow - 1];
    }
    // A second bind with other values recomputes only what changed.
    for (ShaderParameterValue& parameter : parameters)
        parameter.value += 0.5;
    definition.Bind(parameters);
    return 0;
}
