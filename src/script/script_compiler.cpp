#include "script/script_compiler.h"

#include <new>

namespace script {

uint32_t ScriptState::AddVariable(const std::string& name) {
    uint32_t index = static_cast<uint32_t>(variables.size());
    variables.push_back(Variable{name});
    variableByName.emplace(NameKey(name), index);
    return index;
}

bool CompileScript(ScriptState& state, const char* text, size_t length) {
    state.statements.clear();
    state.ops.clear();
    state.maxStackDepth = 0;
    state.loaded = false;
    size_t variablesBefore = state.variables.size();

    bool ok = false;
    try {
        Compiler compiler(state, text, length);
        ok = compiler.CompileStatements();
        if (!ok) {
            state.message = compiler.Error();
            state.messageLine = compiler.ErrorLine();
        }
    } catch (const std::bad_alloc&) {
        state.message = "Out of memory";
        state.messageLine = 0;
    }
    if (ok) {
        state.loaded = true;
        return true;
    }

    // A failed load leaves no trace of the variables it had created.
    for (size_t i = variablesBefore; i < state.variables.size(); ++i)
        state.variableByName.erase(NameKey(state.variables[i].name));
    state.variables.resize(variablesBefore);
    state.statements.clear();
    state.ops.clear();
    return false;
}

} // namespace script
