// Packs resource files into the archive the program opens at start-up.
//
//   gradeshift_packer OUTPUT FILE...
//
// Each file becomes one entry named after its base name. Fonts (.ttf, .otf)
// and images (.jpg, .jpeg, .sbmp) get their kind's tag; every other file is a
// plain data resource, stored behind a 4-byte little-endian length prefix.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kEntrySize = 40;
constexpr size_t kMaxNameLength = 31;
constexpr uint32_t kVersion = 100;

struct Entry {
    std::string tag;
    std::string name;
    std::vector<char> bytes;
};

void PutLittleEndian32(std::vector<char>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::string TagFor(std::string extension) {
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".ttf" || extension == ".otf")
        return "FONT";
    if (extension == ".jpg" || extension == ".jpeg")
        return "JPEG";
    if (extension == ".sbmp")
        return "SBMP";
    return "DATA";
}

bool ReadEntry(const std::filesystem::path& path, Entry& entry) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    entry.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    entry.tag = TagFor(path.extension().string());
    entry.name = path.stem().string();
    return entry.name.size() <= kMaxNameLength;
}

bool IsDataEntry(const Entry& entry) {
    return entry.tag != "FONT" && entry.tag != "JPEG" && entry.tag != "SBMP";
}

std::vector<char> BuildArchive(const std::vector<Entry>& entries) {
    static const char kMagic[] = "VXRF";
    std::vector<char> out(kMagic, kMagic + 4);
    PutLittleEndian32(out, kVersion);
    PutLittleEndian32(out, static_cast<uint32_t>(entries.size()));
    size_t offset = kHeaderSize + kEntrySize * entries.size();
    for (const Entry& entry : entries) {
        out.insert(out.end(), entry.tag.begin(), entry.tag.end());
        std::string name = entry.name;
        name.resize(32, '\0');
        out.insert(out.end(), name.begin(), name.end());
        PutLittleEndian32(out, static_cast<uint32_t>(offset));
        offset += entry.bytes.size() + (IsDataEntry(entry) ? 4 : 0);
    }
    for (const Entry& entry : entries) {
        if (IsDataEntry(entry))
            PutLittleEndian32(out, static_cast<uint32_t>(entry.bytes.size()));
        out.insert(out.end(), entry.bytes.begin(), entry.bytes.end());
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT FILE...\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs(argv + 2, argv + argc);
    // A fixed order keeps the archive's bytes the same from build to build.
    std::sort(inputs.begin(), inputs.end());
    std::vector<Entry> entries;
    for (const std::filesystem::path& path : inputs) {
        Entry entry;
        if (!ReadEntry(path, entry)) {
            std::fprintf(stderr, "cannot pack %s (unreadable, or name over %zu characters)\n",
                         path.string().c_str(), kMaxNameLength);
            return 1;
        }
        entries.push_back(std::move(entry));
    }
    const std::vector<char> archive = BuildArchive(entries);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
