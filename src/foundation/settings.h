#pragma once

#include "foundation/file_access.h"
#include "foundation/name_table.h"
#include "foundation/vx_string.h"

#include <cstdint>
#include <mutex>

// One settings file: nested elements under the root form dotted keys with quoted values.
class SettingsStore {
public:
    SettingsStore(const CVxString& filePath, const CVxString& rootName);
    virtual ~SettingsStore() = default;

    bool Load(FileAccess& files);
    // Parses settings text directly (Load reads the file and calls this).
    bool LoadText(const CVxString& text);

    const CVxString& FilePath() const { return m_filePath; }

    // Plain getters: default when absent or not convertible; the table is not changed.
    virtual CVxString GetString(const char* key, const CVxString& defaultValue);
    virtual bool GetBool(const char* key, bool defaultValue);
    virtual int32_t GetInt32(const char* key, int32_t defaultValue);
    virtual uint32_t GetUInt32(const char* key, uint32_t defaultValue);
    virtual int64_t GetInt64(const char* key, int64_t defaultValue);
    virtual uint64_t GetUInt64(const char* key, uint64_t defaultValue);
    virtual double GetDouble(const char* key, double defaultValue);

    // Recording getters: an absent or unconvertible key is set to the default.
    virtual CVxString GetStringRecorded(const char* key, const CVxString& defaultValue);
    virtual bool GetBoolRecorded(const char* key, bool defaultValue);
    virtual int32_t GetInt32Recorded(const char* key, int32_t defaultValue);
    virtual uint32_t GetUInt32Recorded(const char* key, uint32_t defaultValue);
    virtual int64_t GetInt64Recorded(const char* key, int64_t defaultValue);
    virtual uint64_t GetUInt64Recorded(const char* key, uint64_t defaultValue);
    virtual double GetDoubleRecorded(const char* key, double defaultValue);

private:
    bool ParseLocked(const CVxString& text);

    CVxString m_filePath;
    CVxString m_rootName;
    NameTable<CVxString> m_values;
    std::mutex m_lock;
};

// The base folder of the installation around the program: the parent of its folder.
CVxString ProgramBaseFolder();

// The settings of an installation, read once for a run.
class Settings {
public:
    // Settings of the installation around the program: its base folder is the
    // parent of the program's folder.
    explicit Settings(FileAccess& files);
    // Settings of the installation around a given base folder (with trailing backslash).
    Settings(FileAccess& files, const CVxString& baseFolder);

    const CVxString& BaseFolder() const { return m_baseFolder; }
    const CVxString& ResourceFolder() const { return m_resourceFolder; }
    const CVxString& UserSettingsFolder() const { return m_userSettingsFolder; }
    const CVxString& LogPath() const { return m_logPath; }
    SettingsStore& GlobalStore() { return m_globalStore; }
    SettingsStore& UserStore() { return m_userStore; }

private:
    // Appends one line to the log when its folder exists; a failed write is skipped.
    void Log(FileAccess& files, const char* category, const CVxString& message) const;

    CVxString m_baseFolder;
    SettingsStore m_globalStore;
    CVxString m_logPath;
    SettingsStore m_userStore;
    CVxString m_userSettingsFolder;
    CVxString m_resourceFolder;
};
