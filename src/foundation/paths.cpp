#include "foundation/paths.h"

#include "platform/ascii.h"
#include "platform/environment.h"

namespace {

// Sizes of the platform's path-splitting buffers, without their terminating 0.
constexpr uint32_t kMaxDrive = 2;
constexpr uint32_t kMaxFolder = 259;
constexpr uint32_t kMaxName = 255;
constexpr uint32_t kMaxExtension = 255;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

void SetPart(CVxString* part, const char* text, uint32_t length, uint32_t limit) {
    if (part)
        part->Assign(text, length < limit ? length : limit);
}

struct ProgramLocation {
    CVxString folder;
    CVxString fileName;
};

ProgramLocation& Program() {
    static ProgramLocation location;
    if (!location.folder.IsEmpty())
        return location;
    // The platform reports the path into a buffer of 260 characters.
    std::string path = platform::ProgramFilePath();
    if (path.size() > 259)
        path.resize(259);
    CVxString programPath(path.c_str());
    CVxString drive, folder, baseName, extension;
    SplitPath(programPath, &drive, &folder, &baseName, &extension);
    location.folder = drive + folder;
    MakePath(location.fileName, CVxString(), CVxString(), baseName, extension);
    return location;
}

} // namespace

void SplitPath(const CVxString& path, CVxString* drive, CVxString* folder, CVxString* baseName,
               CVxString* extension) {
    const char* text = path.Data();
    uint32_t begin = 0, end = path.Length();
    while (begin < end && text[begin] == '"')
        ++begin;
    while (end > begin && text[end - 1] == '"')
        --end;
    uint32_t position = begin;
    if (end - begin >= 2 && text[begin + 1] == ':') {
        SetPart(drive, text + begin, 2, kMaxDrive);
        position += 2;
    } else {
        SetPart(drive, text, 0, kMaxDrive);
    }
    uint32_t nameStart = position;
    for (uint32_t i = position; i < end; ++i)
        if (IsSeparator(text[i]))
            nameStart = i + 1;
    SetPart(folder, text + position, nameStart - position, kMaxFolder);
    uint32_t dot = end;
    for (uint32_t i = end; i > nameStart; --i) {
        if (text[i - 1] == '.') {
            dot = i - 1;
            break;
        }
    }
    SetPart(baseName, text + nameStart, dot - nameStart, kMaxName);
    SetPart(extension, text + dot, end - dot, kMaxExtension);
}

void MakePath(CVxString& output, const CVxString& drive, const CVxString& folder,
              const CVxString& baseName, const CVxString& extension) {
    CVxString result = CVxString::WithCapacity(drive.Length() + folder.Length() +
                                               baseName.Length() + extension.Length() + 3);
    result.Append(drive);
    if (!drive.IsEmpty() && !IsSeparator(drive[drive.Length() - 1]))
        result.Append('\\');
    if (!folder.IsEmpty()) {
        uint32_t skip = (!result.IsEmpty() && IsSeparator(folder[0])) ? 1 : 0;
        result.Append(folder.Data() + skip, folder.Length() - skip);
        if (result.IsEmpty() || !IsSeparator(result[result.Length() - 1]))
            result.Append('\\');
    }
    if (!baseName.IsEmpty()) {
        uint32_t skip = 0;
        if (baseName.Length() >= 2 && baseName[0] == '.' && IsSeparator(baseName[1]))
            skip = 2;
        if (skip < baseName.Length() && IsSeparator(baseName[skip]))
            ++skip;
        result.Append(baseName.Data() + skip, baseName.Length() - skip);
    }
    if (!extension.IsEmpty()) {
        result.Append('.');
        uint32_t skip = extension[0] == '.' ? 1 : 0;
        result.Append(extension.Data() + skip, extension.Length() - skip);
    }
    result.SlashesToBackslashes();
    output = static_cast<CVxString&&>(result);
}

CVxString FileNameOf(const CVxString& path) {
    CVxString baseName, extension, name;
    SplitPath(path, nullptr, nullptr, &baseName, &extension);
    MakePath(name, CVxString(), CVxString(), baseName, extension);
    return name;
}

CVxString FolderOf(const CVxString& path) {
    CVxString drive, folder;
    SplitPath(path, &drive, &folder, nullptr, nullptr);
    CVxString result = drive + folder;
    if (!result.IsEmpty() && result[result.Length() - 1] != '\\' &&
        result[result.Length() - 1] != '/')
        result.Append('\\');
    result.SlashesToBackslashes();
    return result;
}

CVxString ParentFolder(const CVxString& folder) {
    CVxString text(folder);
    text.SlashesToBackslashes();
    if (!text.IsEmpty() && text[text.Length() - 1] == '\\')
        text.RemoveBack(1);
    int last = text.ReverseFind('\\');
    if (last < 0)
        return CVxString();
    return text.Left(static_cast<uint32_t>(last) + 1);
}

const CVxString& ProgramFolder() {
    return Program().folder;
}

const CVxString& ProgramFileName() {
    return Program().fileName;
}

bool IsAbsolutePath(const CVxString& path) {
    if (path.Length() >= 2 && path[0] == '\\' && path[1] == '\\')
        return true;
    if (path.Length() < 3)
        return false;
    return ascii::IsLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

std::string PathForPeople(const CVxString& path) {
    std::string text(path.View());
    if (text.size() >= 2 && (text[0] == 'Z' || text[0] == 'z') && text[1] == ':')
        text.erase(0, 2);
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}
