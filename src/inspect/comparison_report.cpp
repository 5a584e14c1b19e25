#include "inspect/comparison_report.h"

#include "inspect/text_forms.h"

namespace {

constexpr const char* kChannelNames[4] = {"r", "g", "b", "rgb"};

struct NamedSet {
    const char* name;
    const ColourSetFigures& figures;
};

std::string RightAligned(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string LeftAligned(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The figures' columns follow 16 characters that name the set (and channel).
std::string FiguresHeading(const char* label) {
    return LeftAligned(label, 16) + RightAligned("max", 11) + RightAligned("mean", 11) +
           RightAligned("p99.9", 11) + '\n';
}

std::string FiguresColumns(const DifferenceFigures& f) {
    return RightAligned(FixedDecimal(f.max, 4), 11) + RightAligned(FixedDecimal(f.mean, 4), 11) +
           RightAligned(FixedDecimal(f.p99_9, 4), 11) + '\n';
}

std::string RgbColumns(const float* rgb) {
    std::string text;
    for (int c = 0; c < 3; ++c)
        text += RightAligned(FixedDecimal(rgb[c], 6), 10);
    return text + "  ";
}

std::string Bound(const char* what, double value, double limit) {
    return std::string(what) + ' ' + FixedDecimal(value, 4) + (value <= limit ? " <= " : " > ") +
           FixedDecimal(limit, 4);
}

void WriteFigures(JsonWriter& json, const DifferenceFigures& f) {
    json.BeginObject();
    json.Key("max").Number(f.max).Key("mean").Number(f.mean).Key("p99_9").Number(f.p99_9);
    json.EndObject();
}

void WriteRgb(JsonWriter& json, const float* rgb) {
    json.BeginArray().Number(rgb[0]).Number(rgb[1]).Number(rgb[2]).EndArray();
}

} // namespace

std::string FormatComparisonText(const Comparison& comparison, const ComparisonNames& names) {
    const NamedSet sets[3] = {
        {"nodes", comparison.nodes}, {"centres", comparison.centres}, {"all", comparison.all}};
    std::string text = "a: " + names.a + "\nb: " + names.b + '\n';
    text += "colours: " + std::to_string(comparison.all.colours) + " (lattice size " +
            std::to_string(names.size) + ": " + std::to_string(comparison.nodes.colours) +
            " nodes, " + std::to_string(comparison.centres.colours) + " cell centres)\n";
    text += "difference in 10-bit codes, |a - b| x 1023, not rounded:\n";
    text += FiguresHeading("set      channel");
    for (const NamedSet& set : sets)
        for (int c = 0; c < 4; ++c)
            text += LeftAligned(set.name, 9) + LeftAligned(kChannelNames[c], 7) +
                    FiguresColumns(set.figures.codes[c]);
    text += "CIEDE2000 (dE00), RGB read as sRGB display values (IEC 61966-2-1, D65) clamped to "
            "0..1:\n";
    text += FiguresHeading("set");
    for (const NamedSet& set : sets)
        text += LeftAligned(set.name, 16) + FiguresColumns(set.figures.deltaE);
    text += "largest dE00:\n";
    text +=
        "  " + LeftAligned("input", 32) + LeftAligned("a", 32) + LeftAligned("b", 30) + "dE00\n";
    for (const WorstColour& worst : comparison.worst)
        text += RgbColumns(worst.input) + RgbColumns(worst.outputA) + RgbColumns(worst.outputB) +
                FixedDecimal(worst.deltaE, 4) + '\n';
    text +=
        comparison.withinTolerance ? "verdict: within tolerance (" : "verdict: beyond tolerance (";
    text += Bound("codes", comparison.all.codes[kChannelsAll].max, comparison.tolerance.codes);
    if (comparison.tolerance.deltaE)
        text += ", " + Bound("dE00", comparison.all.deltaE.max, *comparison.tolerance.deltaE);
    return text + ")\n";
}

void WriteComparisonJson(JsonWriter& json, const Comparison& comparison,
                         const ComparisonNames& names) {
    const NamedSet sets[3] = {
        {"nodes", comparison.nodes}, {"centres", comparison.centres}, {"all", comparison.all}};
    json.BeginObject();
    json.Key("a").String(names.a).Key("b").String(names.b);
    json.Key("size").Number(uint64_t{names.size});
    json.Key("colours").BeginObject();
    for (const NamedSet& set : sets)
        json.Key(set.name).Number(uint64_t{set.figures.colours});
    json.EndObject();
    json.Key("codes").BeginObject();
    for (const NamedSet& set : sets) {
        json.Key(set.name).BeginObject();
        for (int c = 0; c < 4; ++c)
            WriteFigures(json.Key(kChannelNames[c]), set.figures.codes[c]);
        json.EndObject();
    }
    json.EndObject();
    json.Key("delta_e00").BeginObject();
    for (const NamedSet& set : sets)
        WriteFigures(json.Key(set.name), set.figures.deltaE);
    json.EndObject();
    json.Key("worst").BeginArray();
    for (const WorstColour& worst : comparison.worst) {
        json.BeginObject();
        WriteRgb(json.Key("input"), worst.input);
        WriteRgb(json.Key("a"), worst.outputA);
        WriteRgb(json.Key("b"), worst.outputB);
        json.Key("delta_e00").Number(worst.deltaE);
        json.EndObject();
    }
    json.EndArray();
    json.Key("tolerance").Number(comparison.tolerance.codes);
    json.Key("tolerance_delta_e00");
    if (comparison.tolerance.deltaE)
        json.Number(*comparison.tolerance.deltaE);
    else
        json.Null();
    json.Key("within_tolerance").Bool(comparison.withinTolerance);
    json.EndObject();
}
