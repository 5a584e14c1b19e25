#pragma once

#include "script/shader_script.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The compiled form of a script, shared by the compiler and the interpreter.
namespace script {

enum class EOpCode : uint8_t {
    ePushNumber,
    ePushVariable,
    eCallFunction,
    eLogicalOr,
    eLogicalAnd,
    eBitOr,
    eBitXor,
    eBitAnd,
    eNotEqual,
    eEqual,
    eGreaterEqual,
    eGreater,
    eLessEqual,
    eLess,
    eShiftRight,
    eShiftLeft,
    eSubtract,
    eAdd,
    eRemainder,
    eDivide,
    eMultiply,
    eNegate,
    eBitNot,
    eLogicalNot,
};

// One postfix step. Numbers carry their value, variables their index and
// component, calls the function index and the argument count.
struct Op {
    EOpCode code;
    uint8_t component = 0;
    uint16_t argCount = 0;
    uint32_t index = 0;
    double value = 0.0;
};

enum class EStatementKind : uint8_t { eAssign, eJumpIfFalse, eJump };

struct Statement {
    EStatementKind kind;
    uint8_t component = 0;
    uint32_t variable = 0;
    uint32_t firstOp = 0;
    uint32_t opCount = 0;
    uint32_t target = 0;
    uint32_t line = 0;
};

struct Variable {
    std::string name;
    double working[4] = {0, 0, 0, 0};
    double initial[4] = {0, 0, 0, 0};
    bool hasInitial[4] = {false, false, false, false};
};

using BuiltinFunction = double (*)(const double* args, const char** error);

struct Function {
    std::string name;
    uint32_t argCount = 0;
    bool hasReturnValue = true;
    BuiltinFunction builtin = nullptr;
    VxScriptFunction host = nullptr;
    void* context = nullptr;
};

// Everything a script object owns: variables, functions and the compiled lists.
struct ScriptState {
    std::vector<Variable> variables;
    std::unordered_map<std::string, uint32_t> variableByName;
    std::vector<Function> functions;
    std::unordered_map<std::string, uint32_t> functionByName;
    std::vector<Statement> statements;
    std::vector<Op> ops;
    uint32_t maxStackDepth = 0;
    uint64_t runStepLimit = ShaderScript::kMaxRunSteps;
    uint64_t lastRunSteps = 0;
    bool loaded = false;
    std::string message;
    uint32_t messageLine = 0;
    std::vector<double> stack;

    int FindVariable(const std::string& key) const {
        auto found = variableByName.find(key);
        return found == variableByName.end() ? -1 : static_cast<int>(found->second);
    }
    int FindFunction(const std::string& key) const {
        auto found = functionByName.find(key);
        return found == functionByName.end() ? -1 : static_cast<int>(found->second);
    }
    uint32_t AddVariable(const std::string& name);
};

// Compiles text into state.statements and state.ops. On failure the message
// and line are set and the lists are left empty.
bool CompileScript(ScriptState& state, const char* text, size_t length);

// Runs the statements; false with state.message on error.
bool ExecuteScript(ScriptState& state);

// Evaluates one compiled expression on state.stack.
bool EvaluateExpression(ScriptState& state, uint32_t firstOp, uint32_t opCount, double& result,
                        std::string& error);

// Constants of the language: true and false.
bool LookupConstant(const std::string& key, double& value);

// Upper-case copy used as the key of the name maps: names are case-blind.
std::string NameKey(const char* name, size_t length);
inline std::string NameKey(const std::string& name) {
    return NameKey(name.data(), name.size());
}

// eInvalidCoordinate: not exactly one letter after the dot; eUnknownComponent: one
// letter that names no component.
enum class ENameProblem : uint8_t {
    eNone,
    eInvalidCharacter,
    eTooManyDots,
    eInvalidCoordinate,
    eUnknownComponent
};

// Splits "name" or "name.c" into the name and the component index.
ENameProblem SplitReference(const char* text, size_t length, std::string& name, int& component);
const char* NameProblemMessage(ENameProblem problem);

// The built-in functions, registered by every new script object.
void AddBuiltinFunctions(std::vector<Function>& functions,
                         std::unordered_map<std::string, uint32_t>& byName);

// Integer part by truncation toward zero; values outside int32 (and NaN) give its lowest value.
int32_t IntegerPart(double value);

} // namespace script
