#include "foundation/settings.h"

#include "foundation/paths.h"
#include "foundation/posix_file.h"
#include "platform/ascii.h"
#include "platform/file_system.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

// Reader of the settings text: nested elements, quoted values, comments and declarations.
class SettingsParser {
public:
    SettingsParser(const CVxString& text, const CVxString& rootName,
                   CVxNameTable<CVxString>& values)
        : m_text(text.Data()), m_end(text.Data() + text.Length()), m_rootName(rootName),
          m_values(values) {}

    bool Parse() {
        for (;;) {
            SkipSpaceAndMarkup();
            if (m_at == m_end)
                return true;
            if (!ParseElement())
                return false;
        }
    }

private:
    struct OpenElement {
        std::string_view name;
        uint32_t pathLength; // length of the dotted path before this element's name
    };

    static bool IsNameStart(char c) { return c == '_' || ascii::IsLetter(c); }
    static bool IsNameChar(char c) { return IsNameStart(c) || ascii::IsDigit(c) || c == '-'; }

    bool Peek(char c, size_t offset = 0) const {
        return m_at + offset < m_end && m_at[offset] == c;
    }

    void SkipSpace() {
        while (m_at < m_end && ascii::IsBlankOrBreak(*m_at))
            ++m_at;
    }

    // White space and constructs opening with "<!" or "<?", each up to its first ">".
    void SkipSpaceAndMarkup() {
        for (;;) {
            SkipSpace();
            if (!(Peek('<') && (Peek('!', 1) || Peek('?', 1))))
                return;
            while (m_at < m_end && *m_at != '>')
                ++m_at;
            if (m_at < m_end)
                ++m_at;
        }
    }

    bool ReadName(std::string_view& name) {
        if (m_at == m_end || !IsNameStart(*m_at))
            return false;
        const char* start = m_at;
        while (m_at < m_end && IsNameChar(*m_at))
            ++m_at;
        name = std::string_view(start, static_cast<size_t>(m_at - start));
        return true;
    }

    // "<" name white space ">"; the path grows by the element's name.
    bool OpenTag(std::vector<OpenElement>& open) {
        if (!Peek('<'))
            return false;
        ++m_at;
        std::string_view name;
        if (!ReadName(name))
            return false;
        SkipSpace();
        if (!Peek('>'))
            return false;
        ++m_at;
        uint32_t pathLength = m_path.Length();
        if (!open.empty())
            m_path.Append('.');
        m_path.Append(name.data(), static_cast<uint32_t>(name.size()));
        open.push_back({name, pathLength});
        return true;
    }

    // White space, "</", the element's name in any letter case, white space, ">".
    bool CloseTag(std::vector<OpenElement>& open) {
        SkipSpace();
        if (!Peek('<') || !Peek('/', 1))
            return false;
        m_at += 2;
        std::string_view name;
        if (!ReadName(name))
            return false;
        const OpenElement& element = open.back();
        CVxString closing(name.data(), static_cast<uint32_t>(name.size()));
        if (closing.Compare(
                CVxString(element.name.data(), static_cast<uint32_t>(element.name.size())),
                CVxString::eCaseInsensitive) != 0)
            return false;
        SkipSpace();
        if (!Peek('>'))
            return false;
        ++m_at;
        m_path.RemoveBack(m_path.Length() - element.pathLength);
        open.pop_back();
        return true;
    }

    bool StoreValue() {
        ++m_at;
        const char* start = m_at;
        while (m_at < m_end && *m_at != '"')
            ++m_at;
        if (m_at == m_end)
            return false;
        CVxString value(start, static_cast<uint32_t>(m_at - start));
        ++m_at;
        uint32_t prefix = m_rootName.Length() + 1;
        if (m_path.Length() > prefix && m_path.StartsWith(m_rootName.c_str()) &&
            m_path[m_rootName.Length()] == '.')
            m_values.Set(m_path.Mid(prefix), value);
        return true;
    }

    // One top-level element with everything inside it, without recursion.
    bool ParseElement() {
        std::vector<OpenElement> open;
        m_path.Empty();
        if (!OpenTag(open))
            return false;
        while (!open.empty()) {
            SkipSpaceAndMarkup();
            if (Peek('"')) {
                if (!StoreValue() || !CloseTag(open))
                    return false;
            } else if (Peek('<') && !Peek('/', 1)) {
                if (!OpenTag(open))
                    return false;
                continue;
            } else if (!CloseTag(open)) {
                return false;
            }
            // After a closed element, siblings or the parent's end follow.
            while (!open.empty()) {
                SkipSpaceAndMarkup();
                if (Peek('<') && !Peek('/', 1))
                    break;
                if (!CloseTag(open))
                    return false;
            }
        }
        return true;
    }

    const char* m_text;
    const char* m_end;
    const char* m_at = m_text;
    const CVxString& m_rootName;
    CVxNameTable<CVxString>& m_values;
    CVxString m_path;
};

CVxString SettingText(bool value) {
    return CVxString(value ? "1" : "0");
}

CVxString SettingText(double value) {
    CVxString text;
    text.Format("%.17g", value);
    return text;
}

} // namespace

CVxSettingsStore::CVxSettingsStore(const CVxString& filePath, const CVxString& rootName)
    : m_filePath(filePath), m_rootName(rootName) {
    m_filePath.SlashesToBackslashes();
}

bool CVxSettingsStore::Load() {
    std::lock_guard<std::mutex> guard(m_lock);
    CVxString text;
    if (!ReadBinaryFile(m_filePath, text))
        return false;
    return ParseLocked(text);
}

bool CVxSettingsStore::LoadText(const CVxString& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    return ParseLocked(text);
}

// A text that fails to parse leaves the store empty rather than holding what came before the fault.
bool CVxSettingsStore::ParseLocked(const CVxString& text) {
    m_values.Clear();
    SettingsParser parser(text, m_rootName, m_values);
    if (parser.Parse())
        return true;
    m_values.Clear();
    return false;
}

uint32_t CVxSettingsStore::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values.Count();
}

bool CVxSettingsStore::Lookup(const char* key, CVxString& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    const CVxString* value = m_values.Find(CVxString(key));
    if (!value)
        return false;
    text = *value;
    return true;
}

namespace {

// Converts a key's text under the store's lock; the default when absent or unconvertible.
template <typename T, typename Convert>
T ReadSetting(CVxNameTable<CVxString>& values, std::mutex& lock, const char* key, T defaultValue,
              Convert convert) {
    std::lock_guard<std::mutex> guard(lock);
    const CVxString* text = values.Find(CVxString(key));
    T value = defaultValue;
    if (!text || !convert(*text, value))
        return defaultValue;
    return value;
}

} // namespace

CVxString CVxSettingsStore::GetString(const char* key, const CVxString& defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, CVxString& value) {
                           value = text;
                           return true;
                       });
}

bool CVxSettingsStore::GetBool(const char* key, bool defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, bool& value) { return text.ToBool(value); });
}

int32_t CVxSettingsStore::GetInt32(const char* key, int32_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, int32_t& value) { return text.ToInt32(value); });
}

uint32_t CVxSettingsStore::GetUInt32(const char* key, uint32_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, uint32_t& value) { return text.ToUInt32(value); });
}

int64_t CVxSettingsStore::GetInt64(const char* key, int64_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, int64_t& value) { return text.ToInt64(value); });
}

uint64_t CVxSettingsStore::GetUInt64(const char* key, uint64_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, uint64_t& value) { return text.ToUInt64(value); });
}

double CVxSettingsStore::GetDouble(const char* key, double defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, double& value) { return text.ToDouble(value); });
}

namespace {

// Reads a key under the store's lock; an absent or unconvertible entry takes the default's text.
template <typename T, typename Convert>
T ReadRecordedSetting(CVxNameTable<CVxString>& values, std::mutex& lock, const char* key,
                      T defaultValue, const CVxString& defaultText, Convert convert) {
    std::lock_guard<std::mutex> guard(lock);
    CVxString name(key);
    CVxString* text = values.Find(name);
    T value = defaultValue;
    if (text && convert(*text, value))
        return value;
    values.Set(name, defaultText);
    return defaultValue;
}

} // namespace

CVxString CVxSettingsStore::GetStringRecorded(const char* key, const CVxString& defaultValue) {
    return ReadRecordedSetting(m_values, m_lock, key, defaultValue, defaultValue,
                               [](const CVxString& text, CVxString& value) {
                                   value = text;
                                   return true;
                               });
}

bool CVxSettingsStore::GetBoolRecorded(const char* key, bool defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, SettingText(defaultValue),
        [](const CVxString& text, bool& value) { return text.ToBool(value); });
}

int32_t CVxSettingsStore::GetInt32Recorded(const char* key, int32_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, CVxString::FromInt(defaultValue),
        [](const CVxString& text, int32_t& value) { return text.ToInt32(value); });
}

uint32_t CVxSettingsStore::GetUInt32Recorded(const char* key, uint32_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, CVxString::FromUInt(defaultValue),
        [](const CVxString& text, uint32_t& value) { return text.ToUInt32(value); });
}

double CVxSettingsStore::GetDoubleRecorded(const char* key, double defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, SettingText(defaultValue),
        [](const CVxString& text, double& value) { return text.ToDouble(value); });
}

int64_t CVxSettingsStore::GetInt64Recorded(const char* key, int64_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, CVxString::FromInt64(defaultValue),
        [](const CVxString& text, int64_t& value) { return text.ToInt64(value); });
}

// The 64-bit conversion saturates at the signed limits, so the default is kept as the signed
// text of its bits: a default above the signed range then reads back unchanged.
uint64_t CVxSettingsStore::GetUInt64Recorded(const char* key, uint64_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue,
        CVxString::FromInt64(static_cast<int64_t>(defaultValue)),
        [](const CVxString& text, uint64_t& value) { return text.ToUInt64(value); });
}

// --- the process-wide settings object ---

namespace {

CVxString ExpandedSetting(CVxSettingsStore& store, const char* key, const CVxString& defaultValue) {
    CVxString value = store.GetString(key, defaultValue);
    value.ExpandPath(true);
    return value;
}

// Loads the global store, then reads where the log goes.
CVxString LoadGlobalStoreAndLogPath(CVxSettingsStore& globalStore, const CVxString& baseFolder) {
    globalStore.Load();
    return ExpandedSetting(globalStore, "Log", baseFolder + "log\\Generic.log");
}

} // namespace

CVxGlobalSettings::CVxGlobalSettings() : CVxGlobalSettings(ParentFolder(ProgramFolder())) {}

CVxGlobalSettings::CVxGlobalSettings(const CVxString& baseFolder)
    : m_baseFolder(baseFolder),
      m_globalStore(m_baseFolder + "settings/Global_Settings.xml", "values"),
      m_logPath(LoadGlobalStoreAndLogPath(m_globalStore, m_baseFolder)),
      m_userStore(ExpandedSetting(m_globalStore, "UtilitySettings",
                                  m_baseFolder + "settings/Utility_Settings.xml"),
                  "values") {
    CVxString message;
    message.Format("Loading user settings from %s", m_userStore.FilePath().c_str());
    Log("GlobalSettings", message);
    if (!m_userStore.Load())
        Log("GlobalSettings", "Failed to load user settings, using default values.");
    m_userSettingsFolder = FolderOf(m_userStore.FilePath());
    m_resourceFolder = ExpandedSetting(m_globalStore, "ResourcePath", m_baseFolder + "resources");
    if (!m_resourceFolder.EndsWith("\\"))
        m_resourceFolder.Append('\\');
}

void CVxGlobalSettings::Log(const char* category, const CVxString& message) {
    if (m_logPath.IsEmpty() || !platform::IsFolder(std::string_view(FolderOf(m_logPath).c_str(),
                                                                    FolderOf(m_logPath).Length())))
        return;
    CVxString line;
    line.Format("[%s] %s\n", category, message.c_str());
    platform::AppendToFile(std::string_view(m_logPath.Data(), m_logPath.Length()), line.Data(),
                           line.Length());
}

CVxGlobalSettings& GlobalSettings() {
    static CVxGlobalSettings settings;
    return settings;
}
