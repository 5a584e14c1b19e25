#include "inspect/comparison_report.h"
#include "inspect/html_report.h"
#include "inspect/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The links to failed rows and the page's lack of scripts are checked end to end.
TEST(HtmlReport, EscapesNamesAndInlinesThumbnails) {
    ReportPage page{"Run <1>", "convert to .cube", {}};
    page.rows.push_back({"a<&\"b\xff.look",
                         EReportOutcome::eConverted,
                         {"warn & go"},
                         "",
                         "out.cube",
                         "\x89PNG",
                         ReportComparison{"input against its output read back", 0.5, 0.125}});
    page.rows.push_back({"bad.look", EReportOutcome::eFailed, {}, "cannot <read>", "", "", {}});
    page.rows.push_back({"c.cube", EReportOutcome::eUnchanged, {}, "", "", "\x89PNG", {}});
    const std::string html = RenderReportHtml(page);
    EXPECT_EQ(
        html.rfind("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n", 0),
        0u);
    EXPECT_NE(html.find("<td>a&lt;&amp;&quot;b\xEF\xBF\xBD.look</td>"), std::string::npos);
    EXPECT_NE(html.find("<title>Run &lt;1&gt;</title>"), std::string::npos);
    EXPECT_NE(html.find("warn &amp; go"), std::string::npos);
    EXPECT_NE(html.find("cannot &lt;read&gt;"), std::string::npos);
    EXPECT_EQ(CountOf(html, "<img src=\"data:image/png;base64,iVBORw==\""), 2u);
    EXPECT_NE(html.find("<p>3 inputs: 1 converted, 1 unchanged, 0 from stored LUTs, 1 failed, "
                        "0 refused.</p>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr id=\"row-2\" class=\"failed\">"), std::string::npos);
    EXPECT_NE(html.find("largest difference 0.5000 codes, largest &Delta;E<sub>00</sub> 0.1250"),
              std::string::npos);
}

TEST(JsonWriter, EscapesStringsAndWritesShortestNumbers) {
    JsonWriter json;
    json.BeginObject().Key("s\n").String(
        std::string("q\"\\/\x01\x1f\t\r\b\f\xc3\xa9\xff\xc0\x80\0", 16));
    json.Key("n").BeginArray().Number(0.1).Number(1e300).Number(33.0).Number(-0.5f).Number(0.1f);
    json.Number(uint64_t{35937})
        .Number(NAN)
        .Number(INFINITY)
        .Bool(true)
        .Bool(false)
        .Null()
        .EndArray();
    json.Key("e").BeginObject().EndObject().Key("a").BeginArray().EndArray().EndObject();
    EXPECT_EQ(
        json.Text(),
        "{\"s\\n\":\"q\\\"\\\\/\\u0001\\u001f\\t\\r\\b\\f\xc3\xa9\\ufffd\\ufffd\\ufffd\\u0000\","
        "\"n\":[0.1,1e+300,33,-0.5,0.1,35937,null,null,true,false,null],"
        "\"e\":{},\"a\":[]}");
}

Comparison SmallComparison() {
    const float inputs[6] = {0.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.25f};
    const float b[6] = {0.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.25f + 2.0f / 1023.0f};
    return CompareOutputs({inputs, inputs, b, 2, 1}, {1.0, 0.5}, 1);
}

TEST(ComparisonReport, LaysOutTheFiguresForPeople) {
    EXPECT_EQ(
        FormatComparisonText(SmallComparison(), {"a.cube", "b.cube", 2}),
        "a: a.cube\n"
        "b: b.cube\n"
        "colours: 2 (lattice size 2: 1 nodes, 1 cell centres)\n"
        "difference in 10-bit codes, |a - b| x 1023, not rounded:\n"
        "set      channel        max       mean      p99.9\n"
        "nodes    r           0.0000     0.0000     0.0000\n"
        "nodes    g           0.0000     0.0000     0.0000\n"
        "nodes    b           0.0000     0.0000     0.0000\n"
        "nodes    rgb         0.0000     0.0000     0.0000\n"
        "centres  r           0.0000     0.0000     0.0000\n"
        "centres  g           0.0000     0.0000     0.0000\n"
        "centres  b           2.0000     2.0000     2.0000\n"
        "centres  rgb         2.0000     0.6667     2.0000\n"
        "all      r           0.0000     0.0000     0.0000\n"
        "all      g           0.0000     0.0000     0.0000\n"
        "all      b           2.0000     1.0000     2.0000\n"
        "all      rgb         2.0000     0.3333     2.0000\n"
        "CIEDE2000 (dE00), RGB read as sRGB display values (IEC 61966-2-1, D65) clamped to 0..1:\n"
        "set                     max       mean      p99.9\n"
        "nodes                0.0000     0.0000     0.0000\n"
        "centres              0.1017     0.1017     0.1017\n"
        "all                  0.1017     0.0508     0.1017\n"
        "largest dE00:\n"
        "  input                           a                               b                       "
        "      dE00\n"
        "  1.000000  0.500000  0.250000    1.000000  0.500000  0.250000    1.000000  0.500000  "
        "0.251955  0.1017\n"
        "  0.000000  0.000000  0.000000    0.000000  0.000000  0.000000    0.000000  0.000000  "
        "0.000000  0.0000\n"
        "verdict: beyond tolerance (codes 2.0000 > 1.0000, dE00 0.1017 <= 0.5000)\n");
}

} // namespace
