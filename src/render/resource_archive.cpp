#include "render/resource_archive.h"

#include "foundation/byte_order.h"
#include "foundation/name_table.h"
#include "foundation/posix_file.h"

#include <cstring>
#include <mutex>

namespace {

constexpr uint32_t kArchiveVersion = 100;
constexpr size_t kEntrySize = 40;
constexpr size_t kNameSize = 32;
constexpr uint32_t kImageHeaderSize = 12;
constexpr uint32_t kDataPrefixSize = 4;

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

class ResourceArchive {
public:
    explicit ResourceArchive(const CVxString& path) : m_path(path) {}

    const CVxString& Path() const { return m_path; }
    bool HasEntries() const {
        return !m_fonts.IsEmpty() || !m_images.IsEmpty() || !m_data.IsEmpty();
    }

    void ReadDirectory();
    const ResourceFontData* Font(const CVxString& name);
    const ResourceImageData* Image(const CVxString& name);
    uint32_t DataSize(const CVxString& name) const;
    bool ReadData(const CVxString& name, void* buffer, uint32_t byteCount) const;

private:
    // False when the table already holds the name: the first entry of a name wins.
    bool AcceptEntry(EEntryKind kind, const CVxString& name, uint32_t offset);
    bool ReadBytes(uint32_t offset, void* buffer, uint32_t count) const;

    CVxString m_path;
    NameTable<FontElement> m_fonts;
    NameTable<ImageElement> m_images;
    NameTable<DataElement> m_data;
    // Fonts and images are decoded on first use, by whichever file asks first.
    std::mutex m_decoding;
};

template <typename Element>
bool InsertElement(NameTable<Element>& table, const CVxString& name, uint32_t offset) {
    Element element;
    element.offset = offset;
    return table.Insert(name, std::move(element));
}

bool ResourceArchive::AcceptEntry(EEntryKind kind, const CVxString& name, uint32_t offset) {
    switch (kind) {
    case EEntryKind::eFont:
        return InsertElement(m_fonts, name, offset);
    case EEntryKind::eImage:
        return InsertElement(m_images, name, offset);
    case EEntryKind::eData:
        return InsertElement(m_data, name, offset + kDataPrefixSize);
    }
    return false;
}

// Sizes are not stored: each follows from the next entry's offset, the last one
// from the file length. A size that would come out negative is taken as 0.
void ResourceArchive::ReadDirectory() {
    CVxPosixFile file;
    if (!file.Open(m_path, "rb"))
        return;
    uint8_t header[12];
    if (file.Read(header, sizeof header) != sizeof header)
        return;
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
            size = &m_fonts.Find(previous.name)->size;
            break;
        case EEntryKind::eImage:
            size = &m_images.Find(previous.name)->size;
            break;
        case EEntryKind::eData:
            size = &m_data.Find(previous.name)->size;
            break;
        }
        *size = end > previous.dataOffset ? end - previous.dataOffset : 0;
    };

    for (uint32_t index = 0; index < announced; ++index) {
        uint8_t entry[kEntrySize];
        if (file.Read(entry, kEntrySize) != kEntrySize)
            return;
        const uint32_t storedOffset = LoadLittleEndian32(entry + 36);
        if (havePrevious)
            setPreviousSize(storedOffset);
        const EEntryKind kind = KindOfTag(entry);
        const char* nameBytes = reinterpret_cast<const char*>(entry + 4);
        const CVxString name(nameBytes, static_cast<uint32_t>(strnlen(nameBytes, kNameSize)));
        if (!AcceptEntry(kind, name, storedOffset)) {
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
    const int64_t length = file.Size();
    setPreviousSize(length > 0xFFFFFFFFll ? 0xFFFFFFFFu
                                          : static_cast<uint32_t>(length < 0 ? 0 : length));
}

bool ResourceArchive::ReadBytes(uint32_t offset, void* buffer, uint32_t count) const {
    CVxPosixFile file;
    if (!file.Open(m_path, "rb"))
        return false;
    if (!file.Seek(offset))
        return false;
    return file.Read(buffer, count) == count;
}

// Reads a whole resource, refusing sizes the file cannot hold before allocating.
template <typename Element>
bool ReadElementBytes(const CVxString& path, const Element& element, std::vector<uint8_t>& bytes) {
    CVxPosixFile file;
    if (!file.Open(path, "rb"))
        return false;
    const int64_t fileSize = file.Size();
    if (fileSize < 0 || static_cast<int64_t>(element.offset) + element.size > fileSize)
        return false;
    bytes.resize(element.size);
    if (!file.Seek(element.offset))
        return false;
    return file.Read(bytes.data(), bytes.size()) == bytes.size();
}

const ResourceFontData* ResourceArchive::Font(const CVxString& name) {
    std::lock_guard<std::mutex> hold(m_decoding);
    FontElement* element = m_fonts.Find(name);
    if (!element)
        element = m_fonts.Find(CVxString("DejaVuSans"));
    if (!element)
        return nullptr;
    if (!element->decoded) {
        auto face = std::make_shared<ResourceFontData>();
        if (!ReadElementBytes(m_path, *element, face->bytes))
            return nullptr;
        element->decoded = std::move(face);
    }
    return element->decoded.get();
}

const ResourceImageData* ResourceArchive::Image(const CVxString& name) {
    std::lock_guard<std::mutex> hold(m_decoding);
    ImageElement* element = m_images.Find(name);
    if (!element)
        element = m_images.Find(CVxString("_notfound"));
    if (!element)
        return nullptr;
    if (!element->decoded) {
        std::vector<uint8_t> bytes;
        if (!ReadElementBytes(m_path, *element, bytes) || bytes.size() < kImageHeaderSize)
            return nullptr;
        auto image = std::make_shared<ResourceImageData>();
        image->header.assign(bytes.begin(), bytes.begin() + kImageHeaderSize);
        image->pixels.assign(bytes.begin() + kImageHeaderSize, bytes.end());
        element->decoded = std::move(image);
    }
    return element->decoded.get();
}

uint32_t ResourceArchive::DataSize(const CVxString& name) const {
    const DataElement* element = m_data.Find(name);
    return element ? element->size : 0;
}

bool ResourceArchive::ReadData(const CVxString& name, void* buffer, uint32_t byteCount) const {
    const DataElement* element = m_data.Find(name);
    if (!element || element->size < byteCount)
        return false;
    return ReadBytes(element->offset, buffer, byteCount);
}

std::unique_ptr<ResourceArchive>& TheArchive() {
    static std::unique_ptr<ResourceArchive> archive;
    return archive;
}

} // namespace

bool OpenResourceArchive(const CVxString& path) {
    std::unique_ptr<ResourceArchive>& archive = TheArchive();
    if (archive && archive->Path().Compare(path, CVxString::eCaseInsensitive) == 0)
        return true;
    archive = std::make_unique<ResourceArchive>(path);
    archive->ReadDirectory();
    return archive->HasEntries();
}

void CloseResourceArchive() {
    TheArchive().reset();
}

const ResourceFontData* GetFont(const CVxString& name) {
    return TheArchive() ? TheArchive()->Font(name) : nullptr;
}

const ResourceImageData* GetImage(const CVxString& name) {
    return TheArchive() ? TheArchive()->Image(name) : nullptr;
}

uint32_t GetResourceSize(const CVxString& name) {
    return TheArchive() ? TheArchive()->DataSize(name) : 0;
}

bool ReadResource(const CVxString& name, void* buffer, uint32_t byteCount) {
    return TheArchive() ? TheArchive()->ReadData(name, buffer, byteCount) : false;
}
