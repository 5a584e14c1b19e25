#pragma once

#include <string>
#include <string_view>

// The documents made from the usage text (usage_text.h) when the program is
// built: its manual page and its bash completion.

// The whole page, in roff with the man macros; `date` as YYYY-MM-DD.
std::string ManualPage(std::string_view date);

// The whole script, for bash-completion's completions folder.
std::string BashCompletion();
