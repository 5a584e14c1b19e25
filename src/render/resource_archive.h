#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// A decoded resource: the archive keeps the bytes as they are; the conversion
// itself never draws text or images.
struct ResourceFontData {
    std::vector<uint8_t> bytes;
};

struct ResourceImageData {
    // The 12-byte image header, then the pixel data.
    std::vector<uint8_t> header;
    std::vector<uint8_t> pixels;
};

// The installation's archive of fonts, images and data, read whole into memory.
class ResourceArchive {
public:
    // The archive at path; null unless it is of our format with at least one
    // entry of any kind.
    static std::unique_ptr<ResourceArchive> Open(FileAccess& files, const CVxString& path);
    ~ResourceArchive();
    ResourceArchive(const ResourceArchive&) = delete;
    ResourceArchive& operator=(const ResourceArchive&) = delete;

    // Falls back to "DejaVuSans"; null when neither is present or the bytes cannot be read.
    const ResourceFontData* Font(const CVxString& name);
    // Falls back to "_notfound"; null when neither is present or the bytes cannot be read.
    const ResourceImageData* Image(const CVxString& name);
    // Size of a plain data resource, 0 when absent.
    uint32_t DataSize(const CVxString& name) const;
    // Copies the first byteCount bytes of a plain data resource.
    bool ReadData(const CVxString& name, void* buffer, uint32_t byteCount) const;

private:
    struct Tables;
    ResourceArchive();
    void ReadDirectory();
    // False when the table already holds the name: the first entry of a name wins.
    bool AcceptEntry(uint8_t kind, const CVxString& name, uint32_t offset);
    bool ReadBytes(uint32_t offset, void* buffer, uint32_t count) const;
    template <typename Element>
    bool ReadElement(const Element& element, std::vector<uint8_t>& bytes) const;

    CVxString m_bytes;
    std::unique_ptr<Tables> m_tables;
    // Fonts and images are decoded on first use, by whichever file asks first.
    std::mutex m_decoding;
};
