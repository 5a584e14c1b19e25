#include "lut/lut_format_registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

// Which inputs are LUT files, and the format their extension names, in any
// letter case; a build without OpenColorIO knows none of its formats.
TEST(LutFormatRegistry, ExtensionsNameTheirFormat) {
    const bool withOcio = GRADESHIFT_WITH_OCIO;
    const char* const kCdl = "ASC CDL";
    const struct {
        const char* format; // null: not a LUT file
        bool throughOcio;
        std::vector<const char*> paths;
    } cases[] = {
        {"VXTX and VTX2 containers", false, {"a.lut", "Z:\\x\\A.LUT"}},
        {"cube", false, {"a.cube", "a.Itx"}},
        {"Truelight", false, {"a.cub"}},
        {"3DL mesh", false, {"a.3DL"}},
        {"CLF and CTF process lists", true, {"a.clf", "a.CTF"}},
        {kCdl, true, {"Z:\\x\\a.Cc", "a.cdl", "a.ccc"}},
        {"cinespace", true, {"a.csp"}},
        {"Imageworks 1D, 3D and matrix", true, {"a.spi1d", "a.SPI3D", "a.spimtx"}},
        {"Pandora", true, {"a.mga", "a.m3d"}},
        {"Nuke", true, {"a.vf"}},
        {nullptr, false, {"a.look", "a.clf.bak", "x.cube\\a", "lut", "a.", "a.cubes"}},
    };
    for (const auto& c : cases) {
        const char* expected = c.throughOcio && !withOcio ? nullptr : c.format;
        for (const char* path : c.paths) {
            const LutFormat* format = LutFormatOfExtension(path);
            EXPECT_EQ(format ? std::string(format->name) : "", expected ? expected : "") << path;
            EXPECT_EQ(IsLutFile(path), expected != nullptr) << path;
            EXPECT_EQ(IsOcioLutFile(path), expected && c.throughOcio) << path;
            EXPECT_EQ(ListsCorrections(path), expected == kCdl) << path;
        }
    }
}

// What Load needs of every entry, a format added later included: the reader
// its recognition calls, a place of its own in the order, extensions as the
// lookup compares them.
TEST(LutFormatRegistry, EveryFormatCanBeWalked) {
    uint32_t previousOrder = 0;
    for (const LutFormat& format : LutFormats()) {
        const std::string name(format.name);
        EXPECT_FALSE(name.empty());
        EXPECT_GT(format.order, previousOrder) << name;
        previousOrder = format.order;
        const bool byContents = format.recognition == ELutRecognition::eByContents;
        EXPECT_EQ(format.read || format.readNamed, byContents) << name;
        EXPECT_EQ(format.readPath != nullptr, !byContents) << name;
        EXPECT_TRUE(byContents || !format.probe) << name;
        for (std::string_view extension : format.extensions) {
            EXPECT_TRUE(extension.size() > 1 && extension[0] == '.') << name;
            for (char c : extension)
                EXPECT_EQ(c, std::tolower(static_cast<unsigned char>(c))) << name;
        }
    }
    EXPECT_EQ(LutFormats().back().recognition, ELutRecognition::eAsLastResort);
}

} // namespace
