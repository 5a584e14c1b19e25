#include "tool/access_order.h"

#include "foundation/paths.h"

#include <optional>

AccessOrder::AccessOrder(std::vector<std::string> writtenIdentities)
    : m_written(std::move(writtenIdentities)), m_finished(m_written.size()),
      m_writing(m_written.size()) {}

bool AccessOrder::EarlierWriterUnfinished(size_t file, const std::string& identity) const {
    for (size_t earlier = m_firstUnfinished; earlier < file; ++earlier)
        if (!m_finished[earlier] && m_written[earlier] == identity)
            return true;
    return false;
}

void AccessOrder::BeforeRead(size_t file, const std::string& identity) {
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [&] { return !EarlierWriterUnfinished(file, identity); });
}

void AccessOrder::BeforeList(size_t file, const std::string& folderIdentity) {
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [&] {
        for (size_t earlier = m_firstUnfinished; earlier < file; ++earlier)
            if (!m_finished[earlier] && m_written[earlier].starts_with(folderIdentity) &&
                m_written[earlier].find('/', folderIdentity.size()) == std::string::npos)
                return false;
        return true;
    });
}

void AccessOrder::BeforeWrite(size_t file, const std::string& identity) {
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] {
            for (size_t earlier = m_firstUnfinished; earlier < file; ++earlier)
                if (!m_finished[earlier] && !m_writing[earlier])
                    return false;
            return !EarlierWriterUnfinished(file, identity);
        });
        m_writing[file] = true;
    }
    // A file that begins to write lets the next one write too.
    m_changed.notify_all();
}

void AccessOrder::Finish(size_t file) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_finished[file] = true;
        while (m_firstUnfinished < m_finished.size() && m_finished[m_firstUnfinished])
            ++m_firstUnfinished;
    }
    m_changed.notify_all();
}

void OrderedFileAccess::BeforeRead(const CVxString& path) {
    m_order.BeforeRead(m_file, m_files.Identity(path));
}

FileStatus OrderedFileAccess::ReadFile(const CVxString& path, CVxString& bytes, uint32_t maxSize) {
    BeforeRead(path);
    return m_files.ReadFile(path, bytes, maxSize);
}

FileStatus OrderedFileAccess::ReadHead(const CVxString& path, void* buffer, size_t size) {
    BeforeRead(path);
    return m_files.ReadHead(path, buffer, size);
}

FileStatus OrderedFileAccess::ListFolder(const CVxString& pattern, bool includeHidden,
                                         std::vector<FolderEntry>& entries) {
    // The identity of a name in the folder, up to and including its last slash.
    const std::string probe = m_files.Identity(FolderOf(pattern) + "*");
    m_order.BeforeList(m_file, probe.substr(0, probe.rfind('/') + 1));
    return m_files.ListFolder(pattern, includeHidden, entries);
}

PathState OrderedFileAccess::Examine(const CVxString& path) {
    BeforeRead(path);
    return m_files.Examine(path);
}

namespace {

// Waits for its turn at the first byte, not when it is made: a flow makes its
// output before it renders, and reads LUT files until the first byte goes out.
class OrderedOutput final : public FileOutput {
public:
    OrderedOutput(FileAccess& files, AccessOrder& order, size_t file, const CVxString& path,
                  const PathState* examined)
        : m_files(files), m_order(order), m_file(file), m_path(path),
          m_examined(examined ? std::optional<PathState>(*examined) : std::nullopt) {}

    bool Append(const void* data, size_t size) override {
        if (!m_output) {
            m_order.BeforeWrite(m_file, m_files.Identity(m_path));
            m_output = m_files.Replace(m_path, m_examined ? &*m_examined : nullptr);
        }
        return m_output && m_output->Append(data, size);
    }
    bool Commit() override { return m_output && m_output->Commit(); }
    std::string FailureText() const override {
        return m_output ? m_output->FailureText() : std::string();
    }
    bool TargetChanged() const override { return m_output && m_output->TargetChanged(); }

private:
    FileAccess& m_files;
    AccessOrder& m_order;
    size_t m_file;
    CVxString m_path;
    std::optional<PathState> m_examined;
    std::unique_ptr<FileOutput> m_output;
};

} // namespace

std::unique_ptr<FileOutput> OrderedFileAccess::StartReplacement(const CVxString& path,
                                                                const PathState* examined) {
    return std::make_unique<OrderedOutput>(m_files, m_order, m_file, path, examined);
}

FileStatus OrderedFileAccess::SystemPath(const CVxString& path, std::string& systemPath) {
    BeforeRead(path);
    return m_files.SystemPath(path, systemPath);
}
