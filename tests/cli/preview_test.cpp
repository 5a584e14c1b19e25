#include "cli_harness.h"

#include "../support/png_decoder.h"

#include "inspect/test_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A picture's 8-bit code for a value, as a display shows it.
int Code(double value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}

// The pixels as planes of 32-bit floats in ffmpeg's gbrpf32le order.
std::string FloatPlanes(const FloatImage& image) {
    std::string planes;
    for (const int channel : {1, 2, 0})
        for (size_t pixel = 0; pixel < image.PixelCount(); ++pixel) {
            const float value = image.rgb[pixel * 3 + channel];
            planes.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
    return planes;
}

float PlaneValue(const std::string& planes, size_t pixelCount, size_t pixel, int channel) {
    const size_t plane = channel == 0 ? 2 : channel - 1;
    float value = 0;
    std::memcpy(&value, planes.data() + (plane * pixelCount + pixel) * sizeof value, sizeof value);
    return value;
}

using PreviewTest = CliTest;

// A preview shows the chart on the left and, on the right, the chart through
// the transform as ffmpeg applies the file -to cube writes at the same size:
// the same within one 8-bit code. A look and a LUT file, at two sizes.
TEST_F(PreviewTest, ShowsTheChartAndTheChartThroughTheTransform) {
    if (!HasProgram("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    WriteFile("sat.look", kSaturation);
    ASSERT_EQ(Run({"sat.look", "-to", "cube", "-size", "9", "-out", "."}).exitCode, 0);
    std::rename((m_work + "/sat.cube").c_str(), (m_work + "/grade.cube").c_str());
    const FloatImage chart = MakeTestChart();
    WriteFile("chart.raw", FloatPlanes(chart));
    MakeFolder("ref");
    for (const auto& [input, size] : {std::pair{"sat.look", "65"}, {"grade.cube", "17"}}) {
        SCOPED_TRACE(input);
        const std::string name = std::string(input).substr(0, std::string(input).find('.'));
        EXPECT_EQ(Run({input, "-preview", "-size", size}).out,
                  kBanner + Block(input, "Preview written successfully"));
        ASSERT_EQ(Run({input, "-to", "cube", "-size", size, "-out", "ref"}).exitCode, 0);
        const std::string command =
            "cd '" + m_work + "' && ffmpeg -v error -f rawvideo -pix_fmt gbrpf32le -s " +
            std::to_string(chart.width) + "x" + std::to_string(chart.height) +
            " -i chart.raw -vf lut3d=file=ref/" + name +
            ".cube:interp=trilinear -f rawvideo -pix_fmt gbrpf32le -y through.raw";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string through = ReadFile("through.raw");
        const DecodedPng preview = DecodePng(ReadFile(name + ".preview.png"));
        ASSERT_EQ(preview.bitDepth, 8);
        ASSERT_EQ(preview.colorType, PNG_COLOR_TYPE_RGB);
        ASSERT_GT(preview.width, 2 * chart.width);
        ASSERT_EQ(preview.height, chart.height);
        const uint32_t right = preview.width - chart.width;
        int leftLargest = 0, rightLargest = 0;
        for (uint32_t y = 0; y < chart.height; ++y)
            for (uint32_t x = 0; x < chart.width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const size_t pixel = size_t(y) * chart.width + x;
                    const auto sample = [&](uint32_t column) {
                        return int(preview.samples[(size_t(y) * preview.width + column) * 3 + c]);
                    };
                    leftLargest =
                        std::max(leftLargest, std::abs(sample(x) - Code(chart.rgb[pixel * 3 + c])));
                    const float after = PlaneValue(through, chart.PixelCount(), pixel, c);
                    rightLargest =
                        std::max(rightLargest, std::abs(sample(right + x) - Code(after)));
                }
        EXPECT_EQ(leftLargest, 0);
        EXPECT_LE(rightLargest, 1);
    }
}

// -image takes a picture of the user's instead of the chart (16 bits, made by
// ImageMagick); bad pictures and misplaced options stop the run before any file.
TEST_F(PreviewTest, TakesAPictureOfTheUsersAndRefusesBadOnes) {
    if (!HasProgram("convert"))
        GTEST_SKIP() << "ImageMagick is not installed (Debian package imagemagick)";
    WriteFile("sat.look", kSaturation);
    ASSERT_EQ(std::system(
                  ("cd '" + m_work + "' && convert -size 7x5 gradient:red-blue -depth 16 still.png")
                      .c_str()),
              0);
    WriteFile("broken.png", "not a picture");
    EXPECT_EQ(Run({"sat.look", "-preview", "-image", "still.png"}).exitCode, 0);
    const DecodedPng still = DecodePng(ReadFile("still.png"));
    const DecodedPng preview = DecodePng(ReadFile("sat.preview.png"));
    ASSERT_EQ(still.bitDepth, 16);
    ASSERT_EQ(preview.height, 5u);
    ASSERT_GT(preview.width, 14u);
    const size_t channels = still.samples.size() / (7 * 5);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(preview.samples[(size_t(y) * preview.width + x) * 3 + c],
                          Code(still.samples[(size_t(y) * 7 + x) * channels + c] / 65535.0))
                    << x << "," << y;

    ExpectRuns({
        {"sat.look -preview -image broken.png", "",
         "gradeshift: -image broken.png: not a PNG file\n", 1},
        {"sat.look -preview -image gone.png", "",
         "gradeshift: -image gone.png: No such file or directory\n", 1},
        {"sat.look -image still.png", kUsage, "gradeshift: -image: goes with -preview\n" + kTryHelp,
         1},
        {"sat.look -preview -to cube", kUsage,
         "gradeshift: -preview: writes pictures, so -cubrel, -to, -compare and -info do not go "
         "with it\n" +
             kTryHelp,
         1},
    });
}

// What a report row holds, taken from the page.
struct ReportRowText {
    std::string name, outcome, output;
    bool picture = false;
    std::string comparison;
};

// The text of a cell without its markup.
std::string CellText(const std::string& cell) {
    std::string text = cell.substr(0, cell.find('<'));
    for (size_t at = text.find("&Delta;"); at != std::string::npos; at = text.find("&Delta;", at))
        text.replace(at, 7, "D");
    return text;
}

std::vector<ReportRowText> ReportRows(const std::string& page) {
    std::vector<ReportRowText> rows;
    for (size_t at = page.find("<tr id=\"row-"); at != std::string::npos;
         at = page.find("<tr id=\"row-", at + 1)) {
        const std::string row = page.substr(at, page.find("</tr>", at) - at);
        std::vector<std::string> cells;
        for (size_t cell = row.find("<td>"); cell != std::string::npos;
             cell = row.find("<td>", cell + 1))
            cells.push_back(row.substr(cell + 4, row.find("</td>", cell) - cell - 4));
        if (cells.size() != 6)
            return {};
        rows.push_back({cells[1], CellText(cells[2]), cells[3],
                        cells[4].find("src=\"data:image/png;base64,") != std::string::npos,
                        cells[5]});
    }
    return rows;
}

// A report has a row per input in input order with its outcome, output,
// picture and comparison, links to the rows that failed, nothing from the
// network and no script; it is written when files fail, and replaces only a
// report of ours.
TEST_F(PreviewTest, ReportHoldsARowPerInput) {
    WriteFile("sat.look", kSaturation);
    WriteFile("broken.look", "not a look");
    WriteFile("unknown.look", "<?xml version=\"1.0\" ?>\n" + UnknownShaderLook(StoredLut(0.25f)));
    const RunResult run =
        Run({"sat.look", "broken.look", "unknown.look", "-to", "cube", "-report", "run.html"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string page = ReadFile("run.html");
    const std::vector<ReportRowText> rows = ReportRows(page);
    ASSERT_EQ(rows.size(), 3u) << page;
    EXPECT_EQ(rows[0].name, "sat.look");
    EXPECT_EQ(rows[0].outcome, "converted");
    EXPECT_EQ(rows[0].output, "sat.cube");
    EXPECT_TRUE(rows[0].picture);
    EXPECT_NE(rows[0].comparison.find("largest difference"), std::string::npos);
    EXPECT_EQ(rows[1].outcome, "failed");
    EXPECT_FALSE(rows[1].picture);
    EXPECT_EQ(rows[2].outcome, "from its stored LUT");
    EXPECT_NE(page.find("3 inputs: 1 converted, 0 unchanged, 1 from stored LUTs, 1 failed, 0 "
                        "refused."),
              std::string::npos);
    EXPECT_NE(page.find("<li><a href=\"#row-2\">broken.look</a>: failed</li>"), std::string::npos);
    for (const char* absent : {"<script", "http:", "https:", "src=\"file", "src=\"/"})
        EXPECT_EQ(page.find(absent), std::string::npos) << absent;

    // Rebuild mode compares the stored LUT before and after.
    WriteFile("stored.look", BaseLook(Parameter("Gain.X", "0.15"), StoredLut(0.25f)));
    ASSERT_EQ(Run({"stored.look", "-size", "16", "-report", "run.html"}).exitCode, 0);
    const std::vector<ReportRowText> rebuilt = ReportRows(ReadFile("run.html"));
    ASSERT_EQ(rebuilt.size(), 1u);
    EXPECT_NE(rebuilt[0].comparison.find("largest difference"), std::string::npos);

    WriteFile("notes.html", "<p>my notes</p>");
    ExpectRuns({
        {"sat.look -to cube -report notes.html", "",
         "gradeshift: -report notes.html: exists and is not a report that Gradeshift wrote "
         "(-overwrite replaces it)\n",
         1},
        {"sat.look -to cube -report gone/run.html", "",
         "gradeshift: -report gone/run.html: No such file or directory\n", 1},
    });
    EXPECT_EQ(ReadFile("notes.html"), "<p>my notes</p>");
}

// The report as a browser shows it: headless Chromium loads every picture,
// logs nothing to the console, and draws more than a blank page.
TEST_F(PreviewTest, ReportLoadsInABrowser) {
    const char* browser = HasProgram("chromium") ? "chromium" : nullptr;
    if (!browser)
        GTEST_SKIP() << "Chromium is not installed (Debian package chromium)";
    WriteFile("sat.look", kSaturation);
    WriteFile("dim.look", BaseLook(Parameter("Gain.X", "-0.15")));
    WriteFile("broken.look", "not a look");
    ASSERT_EQ(Run({".", "-preview", "-report", "run.html"}).exitCode, 0);
    // A copy with a probe that counts the pictures and the broken ones once the page has loaded.
    std::string probe = ReadFile("run.html");
    const std::string script =
        "<script>addEventListener('load',()=>{const all=[...document.images];"
        "document.body.dataset.pictures=all.length;document.body.dataset.broken="
        "all.filter(i=>!i.complete||i.naturalWidth==0).length;});</script>";
    probe.insert(probe.rfind("</body>"), script);
    WriteFile("probe.html", probe);
    const std::string chromium = std::string("cd '") + m_work + "' && timeout 120 " + browser +
                                 " --headless --no-sandbox --disable-gpu --no-first-run "
                                 "--user-data-dir=profile --enable-logging=stderr --v=0 ";
    ASSERT_EQ(std::system((chromium + "--dump-dom file://" + m_work +
                           "/probe.html > dom.html 2> console.txt")
                              .c_str()),
              0);
    const std::string dom = ReadFile("dom.html");
    EXPECT_NE(dom.find("data-pictures=\"2\""), std::string::npos) << dom.substr(0, 400);
    EXPECT_NE(dom.find("data-broken=\"0\""), std::string::npos);
    EXPECT_EQ(ReadFile("console.txt").find(":CONSOLE"), std::string::npos)
        << ReadFile("console.txt");

    ASSERT_EQ(std::system((chromium + "--window-size=1000,700 --screenshot=shot.png file://" +
                           m_work + "/run.html > /dev/null 2>&1")
                              .c_str()),
              0);
    const DecodedPng shot = DecodePng(ReadFile("shot.png"));
    ASSERT_GT(shot.samples.size(), 0u);
    std::vector<uint16_t> distinct = shot.samples;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    EXPECT_GT(distinct.size(), 64u) << "the page shows next to nothing";
}

} // namespace
