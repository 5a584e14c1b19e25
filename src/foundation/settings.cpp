#include "foundation/settings.h"

#include "foundation/path_expansion.h"
#include "foundation/paths.h"
#include "foundation/xml_tree.h"

#include <cstdio>
#include <string_view>

namespace {

class TableSink : public XMLTreeSink {
public:
    explicit TableSink(NameTable<CVxString>& values) : m_values(values) {}
    // A later element with the same key replaces the earlier value.
    void OnValue(const CVxString& key, const CVxString& value) override {
        m_values.Set(key, value);
    }

private:
    NameTable<CVxString>& m_values;
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

SettingsStore::SettingsStore(const CVxString& filePath, const CVxString& rootName)
    : m_filePath(filePath), m_rootName(rootName) {
    m_filePath.SlashesToBackslashes();
}

bool SettingsStore::Load(FileAccess& files) {
    std::lock_guard<std::mutex> guard(m_lock);
    CVxString text;
    if (!files.ReadFile(m_filePath, text, CVxString::npos - 1))
        return false;
    return ParseLocked(text);
}

bool SettingsStore::LoadText(const CVxString& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    return ParseLocked(text);
}

// A text that fails to parse leaves the store empty rather than holding what came before the fault.
bool SettingsStore::ParseLocked(const CVxString& text) {
    m_values.Clear();
    TableSink sink(m_values);
    if (ReadXMLTree(XmlTextView(text), m_rootName, sink))
        return true;
    m_values.Clear();
    return false;
}

namespace {

// Converts a key's text under the store's lock; the default when absent or unconvertible.
template <typename T, typename Convert>
T ReadSetting(NameTable<CVxString>& values, std::mutex& lock, const char* key, T defaultValue,
              Convert convert) {
    std::lock_guard<std::mutex> guard(lock);
    const CVxString* text = values.Find(CVxString(key));
    T value = defaultValue;
    if (!text || !convert(*text, value))
        return defaultValue;
    return value;
}

} // namespace

CVxString SettingsStore::GetString(const char* key, const CVxString& defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, CVxString& value) {
                           value = text;
                           return true;
                       });
}

bool SettingsStore::GetBool(const char* key, bool defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, bool& value) { return text.ToBool(value); });
}

int32_t SettingsStore::GetInt32(const char* key, int32_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, int32_t& value) { return text.ToInt32(value); });
}

uint32_t SettingsStore::GetUInt32(const char* key, uint32_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, uint32_t& value) { return text.ToUInt32(value); });
}

int64_t SettingsStore::GetInt64(const char* key, int64_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, int64_t& value) { return text.ToInt64(value); });
}

uint64_t SettingsStore::GetUInt64(const char* key, uint64_t defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, uint64_t& value) { return text.ToUInt64(value); });
}

double SettingsStore::GetDouble(const char* key, double defaultValue) {
    return ReadSetting(m_values, m_lock, key, defaultValue,
                       [](const CVxString& text, double& value) { return text.ToDouble(value); });
}

namespace {

// Reads a key under the store's lock; an absent or unconvertible entry takes the default's text.
template <typename T, typename Convert>
T ReadRecordedSetting(NameTable<CVxString>& values, std::mutex& lock, const char* key,
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

CVxString SettingsStore::GetStringRecorded(const char* key, const CVxString& defaultValue) {
    return ReadRecordedSetting(m_values, m_lock, key, defaultValue, defaultValue,
                               [](const CVxString& text, CVxString& value) {
                                   value = text;
                                   return true;
                               });
}

bool SettingsStore::GetBoolRecorded(const char* key, bool defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, SettingText(defaultValue),
        [](const CVxString& text, bool& value) { return text.ToBool(value); });
}

int32_t SettingsStore::GetInt32Recorded(const char* key, int32_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, CVxString::FromInt(defaultValue),
        [](const CVxString& text, int32_t& value) { return text.ToInt32(value); });
}

uint32_t SettingsStore::GetUInt32Recorded(const char* key, uint32_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, CVxString::FromUInt(defaultValue),
        [](const CVxString& text, uint32_t& value) { return text.ToUInt32(value); });
}

double SettingsStore::GetDoubleRecorded(const char* key, double defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, SettingText(defaultValue),
        [](const CVxString& text, double& value) { return text.ToDouble(value); });
}

int64_t SettingsStore::GetInt64Recorded(const char* key, int64_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue, CVxString::FromInt64(defaultValue),
        [](const CVxString& text, int64_t& value) { return text.ToInt64(value); });
}

// The 64-bit conversion saturates at the signed limits, so the default is kept as the signed
// text of its bits: a default above the signed range then reads back unchanged.
uint64_t SettingsStore::GetUInt64Recorded(const char* key, uint64_t defaultValue) {
    return ReadRecordedSetting(
        m_values, m_lock, key, defaultValue,
        CVxString::FromInt64(static_cast<int64_t>(defaultValue)),
        [](const CVxString& text, uint64_t& value) { return text.ToUInt64(value); });
}

// --- the process-wide settings object ---

namespace {

CVxString ExpandedSetting(SettingsStore& store, const char* key, const CVxString& defaultValue) {
    CVxString value = store.GetString(key, defaultValue);
    ExpandPath(value, true);
    return value;
}

// Loads the global store, then reads where the log goes.
CVxString LoadGlobalStoreAndLogPath(FileAccess& files, SettingsStore& globalStore,
                                    const CVxString& baseFolder) {
    globalStore.Load(files);
    return ExpandedSetting(globalStore, "Log", baseFolder + "log\\Generic.log");
}

} // namespace

CVxString ProgramBaseFolder() {
    return ParentFolder(ProgramFolder());
}

Settings::Settings(FileAccess& files) : Settings(files, ProgramBaseFolder()) {}

Settings::Settings(FileAccess& files, const CVxString& baseFolder)
    : m_baseFolder(baseFolder),
      m_globalStore(m_baseFolder + "settings/Global_Settings.xml", "values"),
      m_logPath(LoadGlobalStoreAndLogPath(files, m_globalStore, m_baseFolder)),
      m_userStore(ExpandedSetting(m_globalStore, "UtilitySettings",
                                  m_baseFolder + "settings/Utility_Settings.xml"),
                  "values") {
    CVxString message;
    message.Format("Loading user settings from %s", m_userStore.FilePath().c_str());
    Log(files, "GlobalSettings", message);
    if (!m_userStore.Load(files))
        Log(files, "GlobalSettings", "Failed to load user settings, using default values.");
    m_userSettingsFolder = FolderOf(m_userStore.FilePath());
    m_resourceFolder = ExpandedSetting(m_globalStore, "ResourcePath", m_baseFolder + "resources");
    if (!m_resourceFolder.EndsWith("\\"))
        m_resourceFolder.Append('\\');
}

void Settings::Log(FileAccess& files, const char* category, const CVxString& message) const {
    if (m_logPath.IsEmpty() || !IsFolder(files, FolderOf(m_logPath)))
        return;
    CVxString line;
    line.Format("[%s] %s\n", category, message.c_str());
    files.Append(m_logPath, line.Data(), line.Length());
}
