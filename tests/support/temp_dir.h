// TempDir: a fresh folder under the system's temporary folder, removed with everything in it
// when the test ends. Paths are returned with a trailing "/".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder as the system carries folders: with a trailing "/".
    std::string str() const { return m_path.string() + "/"; }
    // Writes a file (creating its folders) and gives its full path.
    std::filesystem::path write(std::string_view relative, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

std::string readFile(const std::filesystem::path& p);

// Where the build put the programs, the sources and the shared test material.
std::string binaryDir();
std::string sourceDir();
std::string testdataDir();

}  // namespace testsupport
