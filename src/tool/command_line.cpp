#include "tool/command_line.h"

#include <cstring>

namespace {

// The list holds its items by pointer without owning them; this holder does.
struct OwnedArgumentList {
    CVxList<CVxString> list;
    ~OwnedArgumentList() { list.DeleteAll(); }
};

CVxString JoinArguments(int argc, const char* const* argv) {
    CVxString line;
    const char* program = argc > 0 && argv[0] ? argv[0] : "";
    if (program[0] == '"') {
        line = program;
    } else {
        line = "\"";
        line += program;
        line += "\"";
    }
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i] ? argv[i] : "";
        line += " ";
        if (std::strchr(argument, ' ') == nullptr) {
            line += argument;
            continue;
        }
        line += "\"";
        line += argument;
        line += "\"";
    }
    return line;
}

} // namespace

CVxList<CVxString>& CommandLineArgs() {
    static OwnedArgumentList args;
    return args.list;
}

void SetCommandLine(int argc, const char* const* argv) {
    CVxString line = JoinArguments(argc, argv);
    CVxList<CVxString>& args = CommandLineArgs();
    args.DeleteAll();
    CVxString token;
    while (line.ExtractToken(" ", token, true)) {
        const uint32_t length = token.Length();
        if (length >= 2 && token[0] == '"' && token[length - 1] == '"')
            token = token.Mid(1, length - 2);
        args.AddTail(new CVxString(token));
    }
}

CVxString CommandLineArg(uint32_t index) {
    const CVxString* entry = CommandLineArgs().At(index);
    return entry ? *entry : CVxString();
}
