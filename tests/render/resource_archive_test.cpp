#include "render/resource_archive.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Word(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

// Header, one directory entry (tag, the name "a" padded to 32 bytes, data
// offset), then `dataBytes` bytes counting up from 0.
std::string ArchiveBytes(uint32_t version, uint32_t announced, const char* tag, uint32_t offset,
                         size_t dataBytes) {
    std::string out =
        "VXRF" + Word(version) + Word(announced) + tag + "a" + std::string(31, '\0') + Word(offset);
    for (size_t i = 0; i < dataBytes; ++i)
        out.push_back(static_cast<char>(i));
    return out;
}

// The program only asks whether its archive opens: a file of our format with
// at least one entry in its directory. A missing file or one without entries
// is left to the program's start-up tests.
TEST(ResourceArchive, OpensOnlyOurFormatWithEntries) {
    ScratchFolder folder;
    const struct {
        const char* label;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"one entry", ArchiveBytes(100, 1, "DATA", 52, 8), true},
        {"a font", ArchiveBytes(100, 1, "FONT", 52, 8), true},
        // The directory ends with the file; the entries read so far count.
        {"fewer entries than announced", ArchiveBytes(100, 3, "DATA", 200, 0), true},
        {"billions announced", ArchiveBytes(100, 0xFFFFFFFFu, "DATA", 52, 0), true},
        {"empty", "", false},
        {"short header", std::string("VXRF\x64\x00", 6), false},
        {"version 99", ArchiveBytes(99, 1, "DATA", 52, 8), false},
        {"version 101", ArchiveBytes(101, 1, "DATA", 52, 8), false},
        {"foreign magic", "FRXV" + ArchiveBytes(100, 1, "DATA", 52, 8).substr(4), false},
    };
    int index = 0;
    SystemFileAccess files;
    for (const auto& c : cases) {
        const std::string path = folder.Write("case" + std::to_string(index++), c.bytes);
        EXPECT_EQ(ResourceArchive::Open(files, CVxString(path.c_str())) != nullptr, c.opens)
            << c.label;
    }
}

} // namespace
