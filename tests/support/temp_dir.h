// TempDir: a fresh folder under the system's temporary folder, removed with everything in it
// when the test ends. Folders are returned with a trailing separator.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "host/paths.h"

namespace testsupport {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder as the system carries folders: with a trailing separator ("/", on Windows "\\").
    std::string str() const { return m_path.string() + host::kPathDelim; }
    // Writes a file (creating its folders) and gives its full path.
    std::filesystem::path write(std::string_view relative, std::string_view bytes) const;

  private:
    std::filesystem::path m_path;
};

std::string readFile(const std::filesystem::path& p);

// What the file system of the temporary folder can hold, for tests of links and of names that
// differ only in case (Windows, and wine, have neither without special rights or settings).
bool symbolicLinksWork();
bool fileNamesAreCaseSensitive();
// True for a Windows program that runs under wine (its ntdll exports wine_get_version). For the
// few tests of what wine does not emulate (see docs/PORTING.md); false in the POSIX builds.
bool runningUnderWine();

// Where the build put the programs, the sources and the shared test material.
std::string binaryDir();
std::string sourceDir();
std::string testdataDir();

}  // namespace testsupport
