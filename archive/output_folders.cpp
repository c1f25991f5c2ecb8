#include "archive/output_folders.h"

#include <system_error>

#include "archive/zip_errors.h"
#include "host/platform/file_names.h"

namespace archive {

namespace fs = std::filesystem;

OutputFolders::OutputFolders(const fs::path& root) {
    std::error_code ec;
    m_root = fs::weakly_canonical(root, ec);
    if (ec) m_root.clear();  // nothing then counts as below it
}

bool OutputFolders::resolvesBelow(const fs::path& path) const {
    if (m_root.empty()) return false;
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(path, ec);
    if (ec) return false;
    auto pi = p.begin();
    for (auto ri = m_root.begin(); ri != m_root.end(); ++ri, ++pi) {
        if (ri->empty()) break;  // the trailing "" of a root ending in a separator
        if (pi == p.end() || *ri != *pi) return false;
    }
    return true;
}

bool OutputFolders::staysBelow(const fs::path& path) {
    const std::string parent = host::pathText(path.parent_path());
    if (!m_safe.contains(parent)) {
        if (!resolvesBelow(path.parent_path())) return false;
        m_safe.insert(parent);
    }
    return true;
}

void OutputFolders::make(const fs::path& folder) {
    const std::string key = host::pathText(folder);
    if (m_made.contains(key)) return;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw EInOutError(ec.message(), ec.value());
    m_made.insert(key);
}

void OutputFolders::makeEntryFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_symlink(folder, ec) && !(resolvesBelow(folder) && fs::is_directory(folder, ec))) {
        fs::remove(folder, ec);
        m_made.erase(host::pathText(folder));
        if (ec) throw EInOutError(ec.message(), ec.value());
    }
    make(folder);
}

}  // namespace archive
