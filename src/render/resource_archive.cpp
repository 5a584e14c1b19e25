#include "render/resource_archive.h"

#include "foundation/byte_order.h"
#include "foundation/name_table.h"

#include <cstring>
#include <mutex>

namespace {

constexpr uint32_t kArchiveVersion = 100;
constexpr size_t kEntrySize = 40;
constexpr size_t kNameSize = 32;
constexpr uint32_t kImageHeaderSize = 12;
constexpr uint32_t kDataPrefixSize = 4;
// The archive is held in memory while the run lasts.
constexpr uint32_t kLargestArchive = 1u << 30;

struct FontElement {
    uint32_t offset = 0;
    uint32_t size = 0;
    std::shared_ptr<ResourceFontData> decoded;
};

struct ImageElement {
    uint32_t offset = 0;
    uint32_t size = 0;
    std::shared_ptr<ResourceImageData> decoded;
};

struct DataElement {
    uint32_t offset = 0;
    uint32_t size = 0;
};

enum class EEntryKind : uint8_t { eFont, eImage, eData };

EEntryKind KindOfTag(const uint8_t* tag) {
    if (std::memcmp(tag, "FONT", 4) == 0)
        return EEntryKind::eFont;
    if (std::memcmp(tag, "JPEG", 4) == 0 || std::memcmp(tag, "SBMP", 4) == 0)
        return EEntryKind::eImage;
    return EEntryKind::eData;
}

template <typename Element>
bool InsertElement(NameTable<Element>& table, const CVxString& name, uint32_t offset) {
    Element element;
    element.offset = offset;
    return table.Insert(name, std::move(element));
}

} // namespace

struct ResourceArchive::Tables {
    NameTable<FontElement> fonts;
    NameTable<ImageElement> images;
    NameTable<DataElement> data;
};

bool ResourceArchive::AcceptEntry(uint8_t kind, const CVxString& name, uint32_t offset) {
    switch (static_cast<EEntryKind>(kind)) {
    case EEntryKind::eFont:
        return InsertElement(m_tables->fonts, name, offset);
    case EEntryKind::eImage:
        return InsertElement(m_tables->images, name, offset);
    case EEntryKind::eData:
        return InsertElement(m_tables->data, name, offset + kDataPrefixSize);
    }
    return false;
}

// Sizes are not stored: each follows from the next entry's offset, the last one
// from the file length. A size that would come out negative is taken as 0.
void ResourceArchive::ReadDirectory() {
    const auto* bytes = reinterpret_cast<const uint8_t*>(m_bytes.Data());
    const size_t length = m_bytes.Length();
    if (length < 12)
        return;
    const uint8_t* header = bytes;
    if (std::memcmp(header, "VXRF", 4) != 0 || LoadLittleEndian32(header + 4) != kArchiveVersion)
        return;
    const uint32_t announced = LoadLittleEndian32(header + 8);

    // The previous entry is found again by name: insertions move table elements.
    struct Previous {
        EEntryKind kind;
        CVxString name;
        uint32_t dataOffset;
    };
    bool havePrevious = false;
    Previous previous{EEntryKind::eData, CVxString(), 0};
    auto setPreviousSize = [&](uint32_t end) {
        uint32_t* size = nullptr;
        switch (previous.kind) {
        case EEntryKind::eFont:
            size = &m_tables->fonts.Find(previous.name)->size;
            break;
        case EEntryKind::eImage:
            size = &m_tables->images.Find(previous.name)->size;
            break;
        case EEntryKind::eData:
            size = &m_tables->data.Find(previous.name)->size;
            break;
        }
        *size = end > previous.dataOffset ? end - previous.dataOffset : 0;
    };

    for (uint32_t index = 0; index < announced; ++index) {
        const size_t at = 12 + size_t(index) * kEntrySize;
        if (length < at + kEntrySize)
            return;
        const uint8_t* entry = bytes + at;
        const uint32_t storedOffset = LoadLittleEndian32(entry + 36);
        if (havePrevious)
            setPreviousSize(storedOffset);
        const EEntryKind kind = KindOfTag(entry);
        const char* nameBytes = reinterpret_cast<const char*>(entry + 4);
        const CVxString name(nameBytes, static_cast<uint32_t>(strnlen(nameBytes, kNameSize)));
        if (!AcceptEntry(static_cast<uint8_t>(kind), name, storedOffset)) {
            havePrevious = false;
            continue;
        }
        havePrevious = true;
        previous.kind = kind;
        previous.name = name;
        previous.dataOffset =
            kind == EEntryKind::eData ? storedOffset + kDataPrefixSize : storedOffset;
    }
    if (!havePrevious)
        return;
    setPreviousSize(length > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(length));
}

bool ResourceArchive::ReadBytes(uint32_t offset, void* buffer, uint32_t count) const {
    if (uint64_t(offset) + count > m_bytes.Length())
        return false;
    std::memcpy(buffer, m_bytes.Data() + offset, count);
    return true;
}

// A whole resource, refusing sizes the file cannot hold before allocating.
template <typename Element>
bool ResourceArchive::ReadElement(const Element& element, std::vector<uint8_t>& bytes) const {
    if (uint64_t(element.offset) + element.size > m_bytes.Length())
        return false;
    const auto* begin = reinterpret_cast<const uint8_t*>(m_bytes.Data()) + element.offset;
    bytes.assign(begin, begin + element.size);
    return true;
}

const ResourceFontData* ResourceArchive::Font(const CVxString& name) {
    std::lock_guard<std::mutex> hold(m_decoding);
    FontElement* element = m_tables->fonts.Find(name);
    if (!element)
        element = m_tables->fonts.Find(CVxString("DejaVuSans"));
    if (!element)
        return nullptr;
    if (!element->decoded) {
        auto face = std::make_shared<ResourceFontData>();
        if (!ReadElement(*element, face->bytes))
            return nullptr;
        element->decoded = std::move(face);
    }
    return element->decoded.get();
}

const ResourceImageData* ResourceArchive::Image(const CVxString& name) {
    std::lock_guard<std::mutex> hold(m_decoding);
    ImageElement* element = m_tables->images.Find(name);
    if (!element)
        element = m_tables->images.Find(CVxString("_notfound"));
    if (!element)
        return nullptr;
    if (!element->decoded) {
        std::vector<uint8_t> bytes;
        if (!ReadElement(*element, bytes) || bytes.size() < kImageHeaderSize)
            return nullptr;
        auto image = std::make_shared<ResourceImageData>();
        image->header.assign(bytes.begin(), bytes.begin() + kImageHeaderSize);
        image->pixels.assign(bytes.begin() + kImageHeaderSize, bytes.end());
        element->decoded = std::move(image);
    }
    return element->decoded.get();
}

uint32_t ResourceArchive::DataSize(const CVxString& name) const {
    const DataElement* element = m_tables->data.Find(name);
    return element ? element->size : 0;
}

bool ResourceArchive::ReadData(const CVxString& name, void* buffer, uint32_t byteCount) const {
    const DataElement* element = m_tables->data.Find(name);
    if (!element || element->size < byteCount)
        return false;
    return ReadBytes(element->offset, buffer, byteCount);
}

ResourceArchive::ResourceArchive() : m_tables(std::make_unique<Tables>()) {}

ResourceArchive::~ResourceArchive() = default;

std::unique_ptr<ResourceArchive> ResourceArchive::Open(FileAccess& files, const CVxString& path) {
    std::unique_ptr<ResourceArchive> archive(new ResourceArchive());
    if (!files.ReadFile(path, archive->m_bytes, kLargestArchive))
        return nullptr;
    archive->ReadDirectory();
    if (archive->m_tables->fonts.IsEmpty() && archive->m_tables->images.IsEmpty() &&
        archive->m_tables->data.IsEmpty())
        return nullptr;
    return archive;
}
