#pragma once

#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A function the host adds to the language. It reads its arguments and writes
// *result; to stop the run it returns false and points *error at a message.
using VxScriptFunction = bool (*)(void* context, const double* args, double* result,
                                  const char** error);

namespace script {
struct ScriptState;

// Component index of a letter after a name's dot: x, y, z, w or r, g, b, a in either case
// give 0 to 3; any other letter -1.
int ComponentOf(char letter);
} // namespace script

// The shader script: a small C-like language over doubles and four-component
// variables. Load compiles the text into statement lists; Run executes them.
// Every component has an initial value (given from outside) and a working value
// (changed by statements); each run starts from the initial values again.
class ShaderScript {
public:
    // Messages are cut to this many characters.
    static constexpr uint32_t kMaxMessageLength = 256;
    // A run that executes more statements than this stops with an error. Real
    // scripts run a few hundred; the bound only catches endless loops.
    static constexpr uint64_t kMaxRunSteps = 10000000;
    // Sets the bound of each run (at least 1 step), for a caller that shares
    // a budget of steps among many runs of one script.
    void SetRunStepLimit(uint64_t limit);
    // Statements the last run executed; one more than its bound when it ran
    // out of steps.
    uint64_t LastRunSteps() const;

    ShaderScript();
    ~ShaderScript();
    ShaderScript(const ShaderScript&) = delete;
    ShaderScript& operator=(const ShaderScript&) = delete;

    // Compiles a script; variables declared before stay. False with a message on error.
    bool Load(const char* text, size_t length);
    bool Load(const char* text);
    bool Load(const CVxString& text) { return Load(text.c_str(), text.Length()); }

    // The variable (component x when none is named) exists with this initial value.
    bool DeclareExtern(const char* name, double value);
    bool DeclareExtern(const CVxString& name, double value) {
        return DeclareExtern(name.c_str(), value);
    }

    // Sets working and initial value of a known variable; unknown names are ignored
    // (the result is false then, without a message).
    bool Set(const char* name, double value);
    bool Set(const CVxString& name, double value) { return Set(name.c_str(), value); }

    bool Run();

    // Working value, or defaultValue when the variable is unknown (0 for a malformed name).
    double Get(const char* name, double defaultValue) const;
    double Get(const CVxString& name, double defaultValue) const {
        return Get(name.c_str(), defaultValue);
    }
    bool HasVariable(const char* name) const;

    // Adds a host function of argCount arguments.
    bool RegisterFunction(const char* name, uint32_t argCount, VxScriptFunction function,
                          void* context, bool hasReturnValue = true);

    bool IsLoaded() const;
    // The message of the last failed call, empty after success.
    const char* Message() const;
    // Line of the script where loading stopped, 0 when it did not fail.
    uint32_t MessageLine() const;

private:
    bool Fail(const char* message);
    // Clears the message and splits a name given from outside into its name and
    // component; false with the message set when the name is malformed.
    bool SplitName(const char* name, std::string& base, int& component);

    std::unique_ptr<script::ScriptState> m_state;
};
