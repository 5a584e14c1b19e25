#include "foundation/file_access.h"
#include "tool/usage_docs.h"

#include <cstdio>
#include <string>

namespace {

bool WriteFile(const char* path, const std::string& text) {
    SystemFileAccess files;
    const std::unique_ptr<FileOutput> file = files.Replace(CVxString(path));
    return file->Append(text.data(), text.size()) && file->Commit();
}

} // namespace

// Writes the manual page and the bash completion of the program, at build time.
int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("Usage: gradeshift_usage_docs DATE MANUAL_PAGE COMPLETION\n", stderr);
        return 1;
    }
    for (const auto& [path, text] :
         {std::pair{argv[2], ManualPage(argv[1])}, std::pair{argv[3], BashCompletion()}})
        if (!WriteFile(path, text)) {
            std::fprintf(stderr, "gradeshift_usage_docs: cannot write %s\n", path);
            return 1;
        }
    return 0;
}
