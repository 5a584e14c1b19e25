#include "tool/batch_results.h"

#include "tool/batch_run.h"
#include "tool/input_collection.h"

#include <string_view>
#include <unordered_set>

namespace {

constexpr std::string_view kBlockIndent = "  ";

// A block is a blank line, the file's name and a colon, then its messages.
std::vector<std::string> MessageLines(std::string_view block) {
    std::vector<std::string> lines;
    bool nameSeen = false;
    while (!block.empty()) {
        const size_t end = block.find('\n');
        std::string_view line = block.substr(0, end);
        block.remove_prefix(end == std::string_view::npos ? block.size() : end + 1);
        if (line.empty() && !nameSeen)
            continue;
        if (!nameSeen) {
            nameSeen = true;
            continue;
        }
        if (line.starts_with(kBlockIndent))
            line.remove_prefix(kBlockIndent.size());
        lines.emplace_back(line);
    }
    return lines;
}

// What tells one input file from another: its path on the system, links
// followed, so that case twins on a file system that tells case apart stay two
// files; where there is none, what the file reaches (FileAccess::Identity).
std::string InputKey(FileAccess& files, const CVxString& path) {
    std::string key;
    return files.SystemPath(path, key) ? key : files.Identity(path);
}

} // namespace

std::vector<CVxString> InputFilesOf(FileAccess& files, const std::vector<CVxString>& arguments,
                                    std::vector<CVxString>& empty, bool everyLutFile) {
    std::vector<CVxString> inputs;
    std::unordered_set<std::string> seen;
    for (const CVxString& argument : arguments) {
        const CVxString pattern =
            IsFolder(files, argument) ? DirectoryPattern(argument, everyLutFile) : argument;
        std::vector<CVxString> found;
        CollectInputFiles(files, pattern, found);
        if (found.empty())
            empty.push_back(argument);
        // Within one argument the listing stands as it is.
        std::vector<std::string> keys;
        for (CVxString& path : found) {
            keys.push_back(InputKey(files, path));
            if (!seen.contains(keys.back()))
                inputs.push_back(std::move(path));
        }
        seen.insert(keys.begin(), keys.end());
    }
    return inputs;
}

std::vector<FileResult> ConvertToResults(const std::vector<CVxString>& inputs,
                                         const RunSettings& settings,
                                         const RunEnvironment& environment, FileAccess& files) {
    std::vector<FileResult> results(inputs.size());
    RunBatch(inputs, settings, environment, files, [&](size_t index, const FileReport& report) {
        FileResult& result = results[index];
        result.input = inputs[index];
        result.outcome = report.Outcome();
        result.warnings = report.Warnings();
        result.messages = MessageLines(report.Text());
        result.written = report.Written();
        result.cause = report.Cause();
    });
    return results;
}
