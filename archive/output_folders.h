// The folders of one extraction: which lie below the base directory once existing links are
// followed, and which were made already, so that each folder is resolved and created once.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_set>

namespace archive {

class OutputFolders {
  public:
    explicit OutputFolders(const std::filesystem::path& root);

    // True when the folder of `path` stays below the root with every existing link on the way
    // followed. The last name part is not followed: whatever stands there is replaced.
    bool staysBelow(const std::filesystem::path& path);
    // Makes all missing levels of `folder`; EInOutError when one cannot be made.
    void make(const std::filesystem::path& folder);
    // The folder of a directory entry: a link in its place that is not a folder below the root
    // (dangling, or leading elsewhere) is replaced by a real folder.
    void makeEntryFolder(const std::filesystem::path& folder);

  private:
    bool resolvesBelow(const std::filesystem::path& path) const;

    std::filesystem::path m_root;  // resolved once
    std::unordered_set<std::string> m_safe;
    std::unordered_set<std::string> m_made;
};

}  // namespace archive
