#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "host/platform/file_names.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("qltest-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            m_path = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files and folders made by a test must not keep the folder alive.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

fs::path TempDir::write(std::string_view relative, std::string_view bytes) const {
    fs::path p = m_path / host::fsPath(relative);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
    return p;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string binaryDir() {
    return QL_BINARY_DIR;
}
std::string sourceDir() {
    return QL_SOURCE_DIR;
}
// QL_TESTDATA_DIR in the environment points elsewhere, for checkouts not beside the material;
// otherwise a checkout in a deeper folder (a worktree) finds it in the nearest parent that has it.
bool symbolicLinksWork() {
    const TempDir dir;
    std::error_code e;
    fs::create_symlink(dir.path() / "target", dir.path() / "link", e);
    return !e;
}

bool fileNamesAreCaseSensitive() {
    const TempDir dir;
    dir.write("a", "");
    return !fs::exists(dir.path() / "A");
}

bool runningUnderWine() {
#if defined(_WIN32)
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

std::string testdataDir() {
    const char* env = std::getenv("QL_TESTDATA_DIR");
    if (env != nullptr && *env != '\0') return env;
    std::error_code ec;
    if (fs::is_directory(QL_TESTDATA_DIR, ec)) return QL_TESTDATA_DIR;
    for (fs::path p = fs::path(QL_SOURCE_DIR).parent_path(); !p.empty(); p = p.parent_path()) {
        if (fs::is_directory(p / "shared" / "testdata", ec))
            return (p / "shared" / "testdata").string();
        if (p == p.root_path()) break;
    }
    return QL_TESTDATA_DIR;
}

}  // namespace testsupport
