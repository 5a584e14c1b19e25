#include "render/resource_archive.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RawEntry {
    std::string tag;
    std::string name;
    uint32_t offset;
};

void PutWord(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>(value >> shift));
}

// Header, the given directory entries, then `dataBytes` bytes counting up from 0.
std::string ArchiveBytes(uint32_t version, uint32_t announced, const std::vector<RawEntry>& entries,
                         size_t dataBytes) {
    std::string out = "VXRF";
    PutWord(out, version);
    PutWord(out, announced);
    for (const RawEntry& entry : entries) {
        out += entry.tag.substr(0, 4);
        std::string name = entry.name;
        name.resize(32, '\0');
        out += name;
        PutWord(out, entry.offset);
    }
    for (size_t i = 0; i < dataBytes; ++i)
        out.push_back(static_cast<char>(i));
    return out;
}

class ResourceArchiveTest : public ::testing::Test {
protected:
    void TearDown() override { CloseResourceArchive(); }

    CVxString Write(const std::string& name, const std::string& bytes) {
        return CVxString(m_folder.Write(name, bytes).c_str());
    }

    ScratchFolder m_folder;
};

constexpr uint32_t kDataStart = 12 + 40 * 2;

TEST_F(ResourceArchiveTest, RejectsForeignOrBrokenFiles) {
    const struct {
        const char* label;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"short header", std::string("VXRF\x64\x00", 6)},
        {"version 99", ArchiveBytes(99, 1, {{"DATA", "a", 52}}, 8)},
        {"version 101", ArchiveBytes(101, 1, {{"DATA", "a", 52}}, 8)},
        {"foreign magic", "FRXV" + ArchiveBytes(100, 1, {{"DATA", "a", 52}}, 8).substr(4)},
        {"no entries", ArchiveBytes(100, 0, {}, 0)},
    };
    int index = 0;
    for (const auto& c : cases) {
        const CVxString path = Write("case" + std::to_string(index++), c.bytes);
        EXPECT_FALSE(OpenResourceArchive(path)) << c.label;
        EXPECT_EQ(GetResourceSize(CVxString("a")), 0u) << c.label;
    }
    EXPECT_FALSE(OpenResourceArchive(CVxString(m_folder.Drive("absent.vxf").c_str())));
}

TEST_F(ResourceArchiveTest, SizesFollowFromOffsets) {
    // A data resource directly followed by another entry 100 bytes further on.
    const CVxString path = Write(
        "sizes.vxf",
        ArchiveBytes(100, 2, {{"DATA", "First", kDataStart}, {"BLOB", "Second", kDataStart + 100}},
                     130));
    ASSERT_TRUE(OpenResourceArchive(path));
    EXPECT_EQ(GetResourceSize(CVxString("first")), 96u);
    EXPECT_EQ(GetResourceSize(CVxString("SECOND")), 26u);
    EXPECT_EQ(GetResourceSize(CVxString("third")), 0u);

    char bytes[96];
    ASSERT_TRUE(ReadResource(CVxString("First"), bytes, 96));
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes[95], 99);
    EXPECT_FALSE(ReadResource(CVxString("First"), bytes, 97));
    EXPECT_FALSE(ReadResource(CVxString("Third"), bytes, 1));
}

TEST_F(ResourceArchiveTest, TruncatedDirectoryKeepsWhatWasRead) {
    // Announces 3 entries, holds 2: the second keeps size 0.
    std::string bytes = ArchiveBytes(100, 3, {{"DATA", "One", 200}, {"DATA", "Two", 210}}, 0);
    const CVxString path = Write("short.vxf", bytes);
    ASSERT_TRUE(OpenResourceArchive(path));
    EXPECT_EQ(GetResourceSize(CVxString("One")), 6u);
    EXPECT_EQ(GetResourceSize(CVxString("Two")), 0u);

    // Billions announced: reading stops at the end of the file.
    const CVxString huge =
        Write("huge.vxf", ArchiveBytes(100, 0xFFFFFFFFu, {{"DATA", "Only", 52}}, 0));
    ASSERT_TRUE(OpenResourceArchive(huge));
    EXPECT_EQ(GetResourceSize(CVxString("Only")), 0u);
}

TEST_F(ResourceArchiveTest, FirstOfTwoNamesWins) {
    const CVxString path =
        Write("names.vxf",
              ArchiveBytes(
                  100, 2, {{"DATA", "Title", kDataStart}, {"DATA", "TITLE", kDataStart + 10}}, 20));
    ASSERT_TRUE(OpenResourceArchive(path));
    // The duplicate's offset still ends its predecessor; nothing then runs to the end.
    EXPECT_EQ(GetResourceSize(CVxString("title")), 6u);
    char first;
    ASSERT_TRUE(ReadResource(CVxString("title"), &first, 1));
    EXPECT_EQ(first, 4);
}

TEST_F(ResourceArchiveTest, FontsAndImagesFallBackToDefaults) {
    const CVxString path = Write("kinds.vxf", ArchiveBytes(100, 2,
                                                           {{"FONT", "DejaVuSans", kDataStart},
                                                            {"SBMP", "_notfound", kDataStart + 3}},
                                                           16));
    ASSERT_TRUE(OpenResourceArchive(path));
    const ResourceFontData* font = GetFont(CVxString("Missing"));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->bytes, (std::vector<uint8_t>{0, 1, 2}));
    const ResourceImageData* image = GetImage(CVxString("Other"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.size(), 12u);
    EXPECT_EQ(image->pixels, (std::vector<uint8_t>{15}));
    EXPECT_EQ(GetResourceSize(CVxString("DejaVuSans")), 0u);
}

TEST_F(ResourceArchiveTest, ReopeningTheSamePathKeepsTheArchive) {
    const CVxString path = Write("same.vxf", ArchiveBytes(100, 1, {{"DATA", "Kept", 52}}, 20));
    ASSERT_TRUE(OpenResourceArchive(path));
    Write("same.vxf", "garbage");
    EXPECT_TRUE(OpenResourceArchive(path));
    EXPECT_EQ(GetResourceSize(CVxString("Kept")), 16u);

    const CVxString other = Write("other.vxf", "");
    EXPECT_FALSE(OpenResourceArchive(other));
    EXPECT_EQ(GetResourceSize(CVxString("Kept")), 0u);
}

} // namespace
