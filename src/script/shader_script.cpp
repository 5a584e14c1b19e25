#include "script/shader_script.h"

#include "platform/ascii.h"
#include "script/script_lexer.h"
#include "script/script_program.h"

#include <cmath>
#include <cstring>

namespace script {

namespace {

constexpr double kZeroTolerance = 1e-12;

bool IsFalse(double value) {
    return std::fabs(value) <= kZeroTolerance;
}

double Shift(double value, double amount, bool right) {
    int32_t bits = IntegerPart(value);
    int shift = IntegerPart(amount) & 31;
    if (right)
        return bits >> shift;
    return static_cast<int32_t>(static_cast<uint32_t>(bits) << shift);
}

bool Compare(double a, double b, EOpCode code) {
    if (std::isnan(a) || std::isnan(b))
        return false;
    switch (code) {
    case EOpCode::eNotEqual:
        return !(std::fabs(a - b) < kZeroTolerance);
    case EOpCode::eEqual:
        return std::fabs(a - b) < kZeroTolerance;
    case EOpCode::eGreaterEqual:
        return a >= b;
    case EOpCode::eGreater:
        return a > b;
    case EOpCode::eLessEqual:
        return a <= b;
    default:
        return a < b;
    }
}

// A value from outside is where every later run starts from.
void StartFrom(Variable& variable, int component, double value) {
    variable.initial[component] = value;
    variable.working[component] = value;
    variable.hasInitial[component] = true;
}

void CutMessage(std::string& message) {
    if (message.size() > ShaderScript::kMaxMessageLength)
        message.resize(ShaderScript::kMaxMessageLength);
}

} // namespace

std::string NameKey(const char* name, size_t length) {
    return ascii::UpperCopy(std::string_view(name, length));
}

int ComponentOf(char letter) {
    switch (letter) {
    case 'x':
    case 'X':
    case 'r':
    case 'R':
        return 0;
    case 'y':
    case 'Y':
    case 'g':
    case 'G':
        return 1;
    case 'z':
    case 'Z':
    case 'b':
    case 'B':
        return 2;
    case 'w':
    case 'W':
    case 'a':
    case 'A':
        return 3;
    default:
        return -1;
    }
}

ENameProblem SplitReference(const char* text, size_t length, std::string& name, int& component) {
    component = 0;
    if (length == 0 || !IsNameStart(text[0]))
        return ENameProblem::eInvalidCharacter;
    size_t dot = length;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '.') {
            if (dot != length)
                return ENameProblem::eTooManyDots;
            dot = i;
        } else if (!IsNameChar(text[i])) {
            return ENameProblem::eInvalidCharacter;
        }
    }
    name.assign(text, dot);
    if (dot == length)
        return ENameProblem::eNone;
    if (length - dot != 2)
        return ENameProblem::eInvalidCoordinate;
    if (ComponentOf(text[dot + 1]) < 0)
        return ENameProblem::eUnknownComponent;
    component = ComponentOf(text[dot + 1]);
    return ENameProblem::eNone;
}

const char* NameProblemMessage(ENameProblem problem) {
    switch (problem) {
    case ENameProblem::eInvalidCharacter:
        return "Invalid character in variable name.";
    case ENameProblem::eTooManyDots:
        return "Too many dots in variable name.";
    case ENameProblem::eInvalidCoordinate:
    case ENameProblem::eUnknownComponent:
        return "Invalid vector coordinate.";
    default:
        return "";
    }
}

bool LookupConstant(const std::string& key, double& value) {
    if (key == "TRUE") {
        value = 1.0;
        return true;
    }
    if (key == "FALSE") {
        value = 0.0;
        return true;
    }
    return false;
}

bool EvaluateExpression(ScriptState& state, uint32_t firstOp, uint32_t opCount, double& result,
                        std::string& error) {
    double* base = state.stack.data();
    double* top = base;
    const Op* op = state.ops.data() + firstOp;
    const Op* end = op + opCount;
    for (; op != end; ++op) {
        switch (op->code) {
        case EOpCode::ePushNumber:
            *top++ = op->value;
            continue;
        case EOpCode::ePushVariable:
            *top++ = state.variables[op->index].working[op->component];
            continue;
        case EOpCode::eCallFunction: {
            top -= op->argCount;
            const Function& function = state.functions[op->index];
            const char* message = nullptr;
            double value = 0.0;
            if (function.builtin) {
                value = function.builtin(top, &message);
            } else if (!function.host(function.context, top, &value, &message)) {
                error = message ? message : "";
                return false;
            }
            if (message) {
                error = message;
                return false;
            }
            *top++ = value;
            continue;
        }
        case EOpCode::eNegate:
            top[-1] = -top[-1];
            continue;
        case EOpCode::eBitNot:
            top[-1] = ~IntegerPart(top[-1]);
            continue;
        case EOpCode::eLogicalNot:
            top[-1] = IsFalse(top[-1]) ? 1.0 : 0.0;
            continue;
        default:
            break;
        }

        double b = *--top;
        double& a = top[-1];
        switch (op->code) {
        case EOpCode::eLogicalOr:
            a = (IntegerPart(a) != 0 || IntegerPart(b) != 0) ? 1.0 : 0.0;
            break;
        case EOpCode::eLogicalAnd:
            a = (IntegerPart(a) != 0 && IntegerPart(b) != 0) ? 1.0 : 0.0;
            break;
        case EOpCode::eBitOr:
            a = IntegerPart(a) | IntegerPart(b);
            break;
        case EOpCode::eBitXor:
            a = IntegerPart(a) ^ IntegerPart(b);
            break;
        case EOpCode::eBitAnd:
            a = IntegerPart(a) & IntegerPart(b);
            break;
        case EOpCode::eShiftRight:
        case EOpCode::eShiftLeft:
            a = Shift(a, b, op->code == EOpCode::eShiftRight);
            break;
        case EOpCode::eSubtract:
            a -= b;
            break;
        case EOpCode::eAdd:
            a += b;
            break;
        case EOpCode::eRemainder:
        case EOpCode::eDivide:
            if (std::fabs(b) < kZeroTolerance) {
                error = "Division by zero.";
                return false;
            }
            a = op->code == EOpCode::eDivide ? a / b : std::fmod(a, b);
            break;
        case EOpCode::eMultiply:
            a *= b;
            break;
        default:
            a = Compare(a, b, op->code) ? 1.0 : 0.0;
            break;
        }
    }
    result = base[0];
    return true;
}

bool ExecuteScript(ScriptState& state) {
    // Every component starts from its initial value; one that has none starts
    // from 0, so nothing computed by an earlier run leaks into this one.
    for (Variable& variable : state.variables)
        for (int c = 0; c < 4; ++c)
            variable.working[c] = variable.hasInitial[c] ? variable.initial[c] : 0.0;

    state.stack.resize(state.maxStackDepth + 1);
    const std::vector<Statement>& statements = state.statements;
    size_t next = 0;
    uint64_t steps = 0;
    std::string error;
    while (next < statements.size()) {
        if (++steps > state.runStepLimit) {
            error = "Too many steps: the script ran longer than " +
                    std::to_string(state.runStepLimit) + " statements.";
            break;
        }
        const Statement& statement = statements[next];
        if (statement.kind == EStatementKind::eJump) {
            next = statement.target;
            continue;
        }
        double value = 0.0;
        if (!EvaluateExpression(state, statement.firstOp, statement.opCount, value, error)) {
            // First assignments are evaluated here only, never at load, so their
            // failures read like any other failure of the run.
            if (error.empty())
                error = "Unspecified error.";
            break;
        }
        if (statement.kind == EStatementKind::eAssign) {
            state.variables[statement.variable].working[statement.component] = value;
            ++next;
        } else {
            next = IsFalse(value) ? statement.target : next + 1;
        }
    }
    state.lastRunSteps = steps;
    if (error.empty())
        return true;
    state.message = "An error occured while executing script: " + error;
    CutMessage(state.message);
    return false;
}

} // namespace script

using namespace script;

ShaderScript::ShaderScript() : m_state(std::make_unique<ScriptState>()) {
    AddBuiltinFunctions(m_state->functions, m_state->functionByName);
}

ShaderScript::~ShaderScript() = default;

bool ShaderScript::Fail(const char* message) {
    m_state->message = message;
    CutMessage(m_state->message);
    m_state->messageLine = 0;
    return false;
}

void ShaderScript::SetRunStepLimit(uint64_t limit) {
    m_state->runStepLimit = limit < 1 ? 1 : limit;
}

uint64_t ShaderScript::LastRunSteps() const {
    return m_state->lastRunSteps;
}

bool ShaderScript::Load(const char* text) {
    return Load(text, text ? std::strlen(text) : 0);
}

bool ShaderScript::Load(const char* text, size_t length) {
    m_state->message.clear();
    m_state->messageLine = 0;
    if (CompileScript(*m_state, text ? text : "", text ? length : 0))
        return true;
    CutMessage(m_state->message);
    return false;
}

bool ShaderScript::SplitName(const char* name, std::string& base, int& component) {
    m_state->message.clear();
    ENameProblem problem = SplitReference(name, std::strlen(name), base, component);
    return problem == ENameProblem::eNone || Fail(NameProblemMessage(problem));
}

bool ShaderScript::DeclareExtern(const char* name, double value) {
    std::string base;
    int component = 0;
    if (!SplitName(name, base, component))
        return false;
    std::string key = NameKey(base);
    double constant = 0.0;
    if (LookupConstant(key, constant))
        return Fail("Invalid character in variable name.");
    if (m_state->FindFunction(key) >= 0)
        return Fail("Variable name collides with an existing function.");
    int index = m_state->FindVariable(key);
    if (index < 0)
        index = static_cast<int>(m_state->AddVariable(base));
    StartFrom(m_state->variables[static_cast<size_t>(index)], component, value);
    return true;
}

bool ShaderScript::Set(const char* name, double value) {
    std::string base;
    int component = 0;
    if (!SplitName(name, base, component))
        return false;
    int index = m_state->FindVariable(NameKey(base));
    if (index < 0)
        return false;
    StartFrom(m_state->variables[static_cast<size_t>(index)], component, value);
    return true;
}

bool ShaderScript::Run() {
    m_state->message.clear();
    m_state->messageLine = 0;
    m_state->lastRunSteps = 0;
    if (!m_state->loaded)
        return Fail("No script loaded.");
    return ExecuteScript(*m_state);
}

double ShaderScript::Get(const char* name, double defaultValue) const {
    std::string base;
    int component = 0;
    if (SplitReference(name, std::strlen(name), base, component) != ENameProblem::eNone)
        return 0.0;
    int index = m_state->FindVariable(NameKey(base));
    if (index < 0)
        return defaultValue;
    return m_state->variables[static_cast<size_t>(index)].working[component];
}

bool ShaderScript::HasVariable(const char* name) const {
    std::string base;
    int component = 0;
    if (SplitReference(name, std::strlen(name), base, component) != ENameProblem::eNone)
        return false;
    return m_state->FindVariable(NameKey(base)) >= 0;
}

bool ShaderScript::RegisterFunction(const char* name, uint32_t argCount, VxScriptFunction function,
                                    void* context, bool hasReturnValue) {
    m_state->message.clear();
    size_t length = std::strlen(name);
    if (length == 0 || !IsNameStart(name[0]))
        return Fail("Function name starts with an invalid character.");
    int dots = 0;
    for (size_t i = 0; i < length; ++i) {
        if (name[i] == '.') {
            if (++dots > 1)
                return Fail("Too many dots in function name.");
        } else if (!IsNameChar(name[i])) {
            return Fail("Invalid character in function name.");
        }
    }
    std::string key = NameKey(name, length);
    double constant = 0.0;
    if (LookupConstant(key, constant))
        return Fail("Function name collides with an existing constant.");
    if (m_state->FindVariable(key) >= 0)
        return Fail("Function name collides with an existing variable.");
    if (!function || argCount > 0xFFFF)
        return Fail("Unspecified error.");

    Function entry;
    entry.name.assign(name, length);
    entry.argCount = argCount;
    entry.hasReturnValue = hasReturnValue;
    entry.host = function;
    entry.context = context;
    int existing = m_state->FindFunction(key);
    if (existing >= 0) {
        m_state->functions[static_cast<size_t>(existing)] = entry;
        return true;
    }
    m_state->functionByName.emplace(key, static_cast<uint32_t>(m_state->functions.size()));
    m_state->functions.push_back(entry);
    return true;
}

bool ShaderScript::IsLoaded() const {
    return m_state->loaded;
}

const char* ShaderScript::Message() const {
    return m_state->message.c_str();
}

uint32_t ShaderScript::MessageLine() const {
    return m_state->messageLine;
}
