#include "lut/lut_format_registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

// Which inputs are LUT files, and the format their extension names, in any
// letter case; a build without OpenColorIO knows none of its formats.
TEST(LutFormatRegistry, ExtensionsNameTheirFormat) {
    const bool withOcio = GRADESHIFT_WITH_OCIO;
    const char* const kCdl = "ASC CDL";
    const struct {
        const char* path;
        const char* format; // null: not a LUT file
        bool throughOcio = false;
    } cases[] = {
        {"a.lut", "VXTX and VTX2 containers"},
        {"Z:\\x\\A.LUT", "VXTX and VTX2 containers"},
        {"a.cube", "cube"},
        {"a.Itx", "cube"},
        {"a.cub", "Truelight"},
        {"a.3DL", "3DL mesh"},
        {"a.clf", "CLF and CTF process lists", true},
        {"a.CTF", "CLF and CTF process lists", true},
        {"Z:\\x\\a.Cc", kCdl, true},
        {"a.cdl", kCdl, true},
        {"a.ccc", kCdl, true},
        {"a.csp", "cinespace", true},
        {"a.spi1d", "Imageworks 1D, 3D and matrix", true},
        {"a.SPI3D", "Imageworks 1D, 3D and matrix", true},
        {"a.spimtx", "Imageworks 1D, 3D and matrix", true},
        {"a.mga", "Pandora", true},
        {"a.m3d", "Pandora", true},
        {"a.vf", "Nuke", true},
        {"a.look", nullptr},
        {"a.clf.bak", nullptr},
        {"x.cube\\a", nullptr},
        {"lut", nullptr},
        {"a.", nullptr},
        {"a.cubes", nullptr},
    };
    for (const auto& c : cases) {
        const char* expected = c.throughOcio && !withOcio ? nullptr : c.format;
        const LutFormat* format = LutFormatOfExtension(c.path);
        EXPECT_EQ(format ? std::string(format->name) : "", expected ? expected : "") << c.path;
        EXPECT_EQ(IsLutFile(c.path), expected != nullptr) << c.path;
        EXPECT_EQ(IsOcioLutFile(c.path), expected && c.throughOcio) << c.path;
        EXPECT_EQ(ListsCorrections(c.path), expected == kCdl) << c.path;
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
