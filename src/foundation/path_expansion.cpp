#include "foundation/path_expansion.h"

#include "platform/ascii.h"
#include "platform/environment.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct ActiveVariable {
    std::string name;
    size_t end; // where the inserted value ends in the current text
};

bool IsActive(const std::vector<ActiveVariable>& active, const std::string& name) {
    for (const ActiveVariable& variable : active)
        if (ascii::EqualsNoCase(variable.name, name))
            return true;
    return false;
}

// Replaces text[begin, end) and keeps the active regions' ends in step with the change.
void ReplaceSpan(std::string& text, size_t begin, size_t end, const std::string& value,
                 std::vector<ActiveVariable>& active) {
    text.replace(begin, end - begin, value);
    for (ActiveVariable& variable : active) {
        if (variable.end >= end)
            variable.end = variable.end - (end - begin) + value.size();
        else if (variable.end > begin)
            variable.end = begin;
    }
}

// Expands %NAME% pairs from the front again after every replacement, so values holding
// references are expanded too. A variable met again inside its own value expands to
// nothing, which ends self-referring chains.
void ExpandVariables(std::string& text) {
    std::vector<ActiveVariable> active;
    size_t first;
    while ((first = text.find('%')) != std::string::npos) {
        std::erase_if(active, [first](const ActiveVariable& v) { return v.end <= first; });
        size_t second = text.find('%', first + 1);
        if (second == std::string::npos) {
            ReplaceSpan(text, first, first + 1, std::string(), active);
            continue;
        }
        std::string name = text.substr(first + 1, second - first - 1);
        std::string value;
        bool cycle = IsActive(active, name);
        if (!cycle)
            platform::GetEnvironmentVariable(name, value);
        ReplaceSpan(text, first, second + 1, value, active);
        if (!cycle && !value.empty())
            active.push_back({name, first + value.size()});
    }
}

} // namespace

void ExpandPath(CVxString& path, bool slashesToBackslashes) {
    bool replaced = true;
    while (replaced && path.Find("%0") >= 0) {
        replaced = false;
        for (int width = 1; width <= 15; ++width) {
            char placeholder[8];
            std::snprintf(placeholder, sizeof placeholder, "%%0%dd", width);
            replaced |= path.Replace(placeholder, "#") > 0;
        }
    }
    if (slashesToBackslashes)
        path.SlashesToBackslashes();
    if (path.Find('%') < 0)
        return;
    std::string text(path.View());
    ExpandVariables(text);
    path.Assign(text.data(), static_cast<uint32_t>(text.size()));
}
