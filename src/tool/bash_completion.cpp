#include "lut/lut_format_registry.h"
#include "tool/command_line.h"
#include "tool/run_settings.h"
#include "tool/run_setup.h"
#include "tool/usage_docs.h"
#include "tool/usage_text.h"

#include <algorithm>
#include <bit>
#include <map>
#include <string>
#include <vector>

namespace {

using enum EUsageEntry;

// The completion offers every size that a mode takes when they are few, else
// the usual lattice sizes among them, 2^k and 2^k + 1.
constexpr size_t kSizesOfferedWhole = 16;
constexpr uint32_t kLargestSizeTried = 1024;

bool IsUsualLatticeSize(uint32_t size) {
    return std::has_single_bit(size) || std::has_single_bit(size - 1);
}

// The sizes that the mode chosen by the words takes, as the run checks them.
std::string SizesOfMode(const std::vector<std::string>& modeWords) {
    std::vector<const char*> argv{"gradeshift"};
    for (const std::string& word : modeWords)
        argv.push_back(word.c_str());
    SetCommandLine(static_cast<int>(argv.size()), argv.data());
    RunRequest request;
    OptionProblem problem;
    if (ParseCommandLine(request, problem) != EOptionResult::eAccepted)
        return {};
    // The words name no input, so a size that the mode takes gets as far as that.
    request.inputs.clear();
    SystemFileAccess files;
    std::vector<uint32_t> sizes;
    for (uint32_t size = 1; size <= kLargestSizeTried; ++size) {
        request.size = size;
        const RunSetUp run = SetUpRun(request, files);
        if (run.problem && run.problem->kind == ERunProblem::eNoInput)
            sizes.push_back(size);
    }
    std::string offered;
    for (uint32_t size : sizes)
        if (sizes.size() <= kSizesOfferedWhole || IsUsualLatticeSize(size))
            offered += (offered.empty() ? "" : " ") + std::to_string(size);
    return offered;
}

std::vector<std::string> ExportFormatWords() {
    std::vector<std::string> words;
    std::string_view rest = ExportFormatNames();
    while (!rest.empty()) {
        const size_t comma = rest.find(", ");
        words.emplace_back(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
    }
    return words;
}

std::string Joined(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

// The forms of the entry's options: "-v", "-verbose" or "--v", "--verbose".
std::vector<std::string> FormsOf(const UsageEntry& entry, const char* dashes) {
    std::vector<std::string> forms;
    for (std::string_view name : NamesOf(entry))
        forms.push_back(dashes + std::string(name));
    return forms;
}

bool IsOption(const UsageEntry& entry) {
    return entry.kind == eMode || entry.kind == eOption;
}

// "-size | --size", a pattern of bash's case.
std::string CasePattern(const UsageEntry& entry) {
    std::vector<std::string> forms = FormsOf(entry, "-");
    for (std::string& form : FormsOf(entry, "--"))
        forms.push_back(form);
    return Joined(forms, " | ");
}

// A mode as the script names it, and the words that choose it.
struct Mode {
    std::string name;
    std::vector<std::string> words;
};

// The default mode first.
std::vector<Mode> Modes() {
    std::vector<Mode> modes;
    for (const UsageEntry& entry : UsageEntries()) {
        const std::string option = "-" + std::string(NamesOf(entry).front());
        if (entry.kind == eDefaultMode)
            modes.push_back({std::string(entry.names), {}});
        else if (entry.kind == eMode && entry.valueKind == EOptionValue::eFormat)
            for (const std::string& format : ExportFormatWords())
                modes.push_back({format, {option, format}});
        else if (entry.kind == eMode)
            modes.push_back({std::string(NamesOf(entry).front()), {option}});
    }
    return modes;
}

// Which mode the words before the current one choose: the last mode option
// counts, and an option's value is no option.
std::string ModeFunction() {
    std::string script = "# The mode that the words before the current one choose.\n"
                         "_gradeshift_mode()\n"
                         "{\n"
                         "    local i word mode=" +
                         Modes().front().name +
                         "\n"
                         "    for ((i = 1; i < cword; i++)); do\n"
                         "        word=${words[i],,}\n"
                         "        case $word in\n"
                         "            --) break ;;\n";
    std::vector<std::string> takingValue;
    for (const UsageEntry& entry : UsageEntries()) {
        if (!IsOption(entry))
            continue;
        if (!entry.value.empty())
            takingValue.push_back(CasePattern(entry));
        if (entry.kind != eMode)
            continue;
        if (entry.value.empty()) {
            script += "            " + CasePattern(entry) +
                      ") mode=" + std::string(NamesOf(entry).front()) + " ;;\n";
            continue;
        }
        script += "            " + CasePattern(entry) + ") mode=${words[i + 1],,} ;;\n";
        for (const std::string& form : FormsOf(entry, "--"))
            script += "            " + form + "=*) mode=${word#*=} ;;\n";
    }
    script += "        esac\n"
              "        case $word in\n"
              "            " +
              Joined(takingValue, " | ") +
              ") ((i++)) ;;\n"
              "        esac\n"
              "    done\n"
              "    printf '%s\\n' \"$mode\"\n"
              "}\n\n";
    return script;
}

// The sizes of each mode, modes of the same sizes in one branch.
std::string SizesCase() {
    std::map<std::string, std::vector<std::string>> modesBySizes;
    std::vector<std::string> order;
    for (const Mode& mode : Modes()) {
        const std::string sizes = SizesOfMode(mode.words);
        std::vector<std::string>& modes = modesBySizes[sizes];
        if (modes.empty())
            order.push_back(sizes);
        // -cubrel and -to cubrel are one mode.
        if (std::find(modes.begin(), modes.end(), mode.name) == modes.end())
            modes.push_back(mode.name);
    }
    std::string script = "            case $(_gradeshift_mode) in\n";
    for (const std::string& sizes : order)
        script += "                " + Joined(modesBySizes[sizes], " | ") + ") sizes='" + sizes +
                  "' ;;\n";
    return script + "            esac\n";
}

// What the completion offers after an option that takes a value.
std::string ValueBranch(const UsageEntry& entry) {
    std::string branch = "        " + CasePattern(entry) + ")\n";
    switch (entry.valueKind) {
    case EOptionValue::eSize:
        branch += "            local sizes=\n" + SizesCase() +
                  "            mapfile -t COMPREPLY < <(compgen -W \"$sizes\" -- \"$cur\")\n";
        break;
    case EOptionValue::eFormat:
        branch += "            mapfile -t COMPREPLY < <(compgen -W '" +
                  Joined(ExportFormatWords(), " ") + "' -- \"${cur,,}\")\n";
        break;
    case EOptionValue::eFolder:
        branch += "            _filedir -d\n";
        break;
    case EOptionValue::eFile:
        branch += "            _filedir\n";
        break;
    case EOptionValue::eNone:
    case EOptionValue::eNumber:
        break;
    }
    return branch + "            return\n            ;;\n";
}

std::string OptionsOffered(const char* dashes) {
    std::vector<std::string> forms;
    for (const UsageEntry& entry : UsageEntries())
        if (IsOption(entry))
            for (const std::string& form : FormsOf(entry, dashes))
                forms.push_back(form);
    return Joined(forms, " ");
}

std::string Questions() {
    std::vector<std::string> forms;
    for (const UsageEntry& entry : UsageEntries())
        if (entry.kind == eQuestion)
            for (std::string_view name : NamesOf(entry))
                forms.emplace_back(name);
    return Joined(forms, " ");
}

} // namespace

std::string BashCompletion() {
    std::string script = "# bash completion for gradeshift(1), made from the program's usage "
                         "text when it was built.\n\n" +
                         ModeFunction();
    script += "_gradeshift()\n"
              "{\n"
              "    local cur prev words cword split\n"
              "    _init_completion -s || return\n\n"
              "    # After \"--\" every word is an input.\n"
              "    local i\n"
              "    for ((i = 1; i < cword; i++)); do\n"
              "        if [[ ${words[i]} == -- ]]; then\n"
              "            _filedir\n"
              "            return\n"
              "        fi\n"
              "    done\n\n"
              "    case ${prev,,} in\n";
    for (const UsageEntry& entry : UsageEntries())
        if (IsOption(entry) && !entry.value.empty())
            script += ValueBranch(entry);
    script += "    esac\n"
              "    $split && return\n\n"
              "    if [[ $cur == -* ]]; then\n"
              "        local options='" +
              OptionsOffered("-") +
              "'\n"
              "        [[ $cur == --* ]] && options='" +
              OptionsOffered("--") +
              "'\n"
              "        # Asked only alone.\n"
              "        ((cword == 1)) && options+=' " +
              Questions() +
              "'\n"
              "        mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"${cur,,}\")\n"
              "        return\n"
              "    fi\n"
              "    _filedir\n"
              "} &&\n"
              "    complete -F _gradeshift gradeshift\n";
    return script;
}
