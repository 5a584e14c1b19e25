#pragma once

#include "foundation/vx_string.h"

#include <memory>

namespace platform {
class DirectorySearch;
}

// Lists one folder, filtered by a wildcard list ("*.look;*.lut").
class CVxDirectoryScan {
public:
    CVxDirectoryScan(const CVxString& pattern, bool includeHidden);
    CVxDirectoryScan(const CVxDirectoryScan&) = delete;
    CVxDirectoryScan& operator=(const CVxDirectoryScan&) = delete;
    ~CVxDirectoryScan();

    bool Next();
    bool IsDirectory() const;
    CVxString FullPath() const;
    const CVxString& Name() const { return m_entryName; }
    // False when the folder could not be listed (known once Next was called).
    bool Listed() const { return m_listed; }

private:
    CVxString m_namePattern;
    CVxString m_folder;
    bool m_includeHidden;
    bool m_started = false;
    bool m_listed = false;
    std::unique_ptr<platform::DirectorySearch> m_search;
    CVxString m_entryName;
    bool m_entryIsDirectory = false;
};
