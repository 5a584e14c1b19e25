#pragma once

#include "foundation/vx_string.h"

#include <cstdint>
#include <memory>
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

// Opens the process-wide archive; true when it holds at least one entry of any
// kind. Reopening the path already open returns true without reading it again.
bool OpenResourceArchive(const CVxString& path);
void CloseResourceArchive();

// Falls back to "DejaVuSans"; null when neither is present or the bytes cannot be read.
const ResourceFontData* GetFont(const CVxString& name);
// Falls back to "_notfound"; null when neither is present or the bytes cannot be read.
const ResourceImageData* GetImage(const CVxString& name);

// Size of a plain data resource, 0 when absent.
uint32_t GetResourceSize(const CVxString& name);
// Copies the first byteCount bytes of a plain data resource.
bool ReadResource(const CVxString& name, void* buffer, uint32_t byteCount);
