#pragma once

#include "lut/lut_format_registry.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What the program says about itself, kept in one place: --help prints it,
// and the manual page and the bash completion are generated from it, so the
// three cannot disagree. An option is one entry of UsageEntries(); the -to
// formats and the LUT formats come from the format registry.
//
// Texts are written as --help shows them without its indent: either one line,
// which --help wraps, or lines broken by hand ('\n'). The manual page fills
// them into paragraphs. Three words stand for lists of the registry:
// {to-formats} ("cube, ... or hald (16-bit Hald CLUT .png)"), {1d-formats}
// (those that hold a per-channel transform as a 1D table) and {1d-entries}
// (the entries of that table).

enum class EUsageEntry : uint8_t {
    eOperand,     // not an option: what the other arguments are
    eDefaultMode, // not an option: the mode without one
    eMode,        // an option that chooses the mode
    eOption,
    // Given alone, and only in the forms listed: no --name form, no value.
    eQuestion,
};

// What an option's value is, for the completion to offer.
enum class EOptionValue : uint8_t { eNone, eSize, eFormat, eFolder, eFile, eNumber };

struct UsageEntry {
    EUsageEntry kind;
    // Separated by spaces. Options without their dash, the name --help shows
    // first ("v verbose"); every option is also taken as --name. Questions in
    // the forms they are taken in ("--help -h -help"); otherwise the word itself.
    std::string_view names;
    // The placeholder of the option's value ("N"); empty for a flag.
    std::string_view value;
    EOptionValue valueKind = EOptionValue::eNone;
    std::string_view help;
    // What the manual page adds, as a paragraph of its own.
    std::string_view more = {};
    // The mode that the option goes with ("compare"), when it needs one.
    std::string_view goesWith = {};
};

struct ExitCodeText {
    int code;
    std::string_view meaning;
};

struct UsageExample {
    // The arguments after the program's name.
    std::string_view arguments;
    std::string_view purpose;
};

std::span<const UsageEntry> UsageEntries();
std::span<const ExitCodeText> ExitCodeTexts();
std::span<const UsageExample> UsageExamples();

// The paragraphs that follow the options, and the first line of the help.
std::string_view UsageSummary();
std::span<const std::string_view> UsageClosingParagraphs();

// The heading of the LUT formats read, and of each way of recognising them.
std::string_view LutFormatsHeading();
std::string_view RecognitionHeading(const LutFormat& format);

// The entry's names, split at spaces.
std::vector<std::string_view> NamesOf(const UsageEntry& entry);

// The text with {to-formats}, {1d-formats} and {1d-entries} replaced.
std::string ExpandUsageText(std::string_view text);

// Everything --help prints.
std::string HelpText();
