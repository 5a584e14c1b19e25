// Compiles the bytes as a shader script over a few declared variables, runs
// it twice and reads the variables back.
#include "fuzz_support.h"

#include "script/shader_script.h"

#include <cmath>

namespace {

const char* const kVariables[] = {"in", "r", "g", "b", "gain.x", "gain.w", "out.z", "x.q", "."};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ShaderScript script;
    script.DeclareExtern("in", 0.5);
    script.DeclareExtern("gain.y", 2.0);
    script.DeclareExtern("nan", std::nan(""));
    if (!script.Load(reinterpret_cast<const char*>(data), size))
        return 0;
    script.Set("in", 0.25);
    script.Set("gain", -1.0);
    for (int run = 0; run < 2; ++run) {
        if (!script.Run())
            break;
    }
    for (const char* name : kVariables) {
        script.Get(name, 0.0);
        script.HasVariable(name);
    }
    script.Message();
    return 0;
}
