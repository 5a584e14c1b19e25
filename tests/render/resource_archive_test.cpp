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

// The program only asks whether its archive opens: a file of our format with
// at least one entry in its directory.
TEST(ResourceArchive, OpensOnlyOurFormatWithEntries) {
    ScratchFolder folder;
    const struct {
        const char* label;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"one entry", ArchiveBytes(100, 1, {{"DATA", "a", 52}}, 8), true},
        {"a font", ArchiveBytes(100, 1, {{"FONT", "f", 52}}, 8), true},
        // The directory ends with the file; the entries read so far count.
        {"fewer entries than announced", ArchiveBytes(100, 3, {{"DATA", "a", 200}}, 0), true},
        {"billions announced", ArchiveBytes(100, 0xFFFFFFFFu, {{"DATA", "a", 52}}, 0), true},
        {"empty", "", false},
        {"short header", std::string("VXRF\x64\x00", 6), false},
        {"version 99", ArchiveBytes(99, 1, {{"DATA", "a", 52}}, 8), false},
        {"version 101", ArchiveBytes(101, 1, {{"DATA", "a", 52}}, 8), false},
        {"foreign magic", "FRXV" + ArchiveBytes(100, 1, {{"DATA", "a", 52}}, 8).substr(4), false},
        {"no entries", ArchiveBytes(100, 0, {}, 0), false},
    };
    int index = 0;
    for (const auto& c : cases) {
        const std::string path = folder.Write("case" + std::to_string(index++), c.bytes);
        EXPECT_EQ(OpenResourceArchive(CVxString(path.c_str())), c.opens) << c.label;
        CloseResourceArchive();
    }
    EXPECT_FALSE(OpenResourceArchive(CVxString(folder.Drive("absent.vxf").c_str())));
    CloseResourceArchive();
}

} // namespace
