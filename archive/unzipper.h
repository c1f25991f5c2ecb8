// TAbUnZipper: the extraction component the updater drives with four calls (BaseDirectory,
// FileName, ExtractFiles, CloseArchive); single entries fail quietly and are listed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/output_folders.h"
#include "archive/zip_archive.h"
#include "archive/zip_errors.h"

namespace archive {

enum class TAbExtractOption : std::uint8_t { eoCreateDirs = 1, eoRestorePath = 2 };

// A set of extract options.
class TAbExtractOptions {
  public:
    TAbExtractOptions(std::initializer_list<TAbExtractOption> opts) {
        for (auto o : opts) m_bits |= static_cast<std::uint8_t>(o);
    }
    bool has(TAbExtractOption o) const { return (m_bits & static_cast<std::uint8_t>(o)) != 0; }

  private:
    std::uint8_t m_bits = 0;
};

// One entry that could not be extracted, as the caller needs to tell a partial extraction.
struct FailedEntry {
    std::string name;       // decoded entry name
    std::string className;  // the exception class ("EAbZipBadCRC", "EFCreateError", ...)
    ErrorClass errorClass = ErrorClass::Other;
    int code = 0;  // the failure table's code, a system error number, or 0
    std::string message;
};

class TAbUnZipper {
  public:
    TAbUnZipper();
    ~TAbUnZipper();

    const std::string& BaseDirectory() const { return m_baseDirectory; }
    // Applied at once to an open archive (EAbNoSuchDirectory when it does not exist).
    void SetBaseDirectory(const std::string& dir);
    const std::string& FileName() const { return m_fileName; }
    // Closes any open archive, then opens this one (an empty name only closes).
    void SetFileName(const std::string& fileName);
    // Extracts every entry the mask selects; entry failures are reported, not raised.
    void ExtractFiles(const std::string& mask);
    void CloseArchive();

    TAbZipArchive* Archive() { return m_archive.get(); }
    const std::vector<FailedEntry>& FailedEntries() const { return m_failed; }

    TAbExtractOptions ExtractOptions{TAbExtractOption::eoCreateDirs,
                                     TAbExtractOption::eoRestorePath};
    int PasswordRetries = 3;
    std::string Password;
    NameCodePages CodePages;

    std::function<void(TAbUnZipper& sender, const TAbZipItem& item, ProcessType process,
                       ErrorClass errorClass, int errorCode)>
        OnProcessItemFailure;
    // Asked before an existing file is replaced; Confirm starts true.
    std::function<void(TAbUnZipper& sender, const TAbZipItem& item, std::string& name,
                       bool& confirm)>
        OnConfirmOverwrite;
    // Asked for a password for an encrypted entry; an empty answer gives up.
    std::function<void(TAbUnZipper& sender, std::string& newPassword)> OnNeedPassword;
    // Asked before each selected entry is processed; Confirm starts true.
    std::function<void(TAbUnZipper& sender, const TAbZipItem& item, ProcessType process,
                       bool& confirm)>
        OnConfirmProcessItem;

  private:
    bool selected(const TAbZipItem& item, const std::string& mask) const;
    // EInOutError when the selected files need more bytes than the destination has free.
    void checkFreeSpace(const std::string& mask, const std::filesystem::path& root);
    void extractItem(const TAbZipItem& item);
    // Where the item goes below the base directory; EAbUnsafePath when it would leave it.
    std::filesystem::path outputPath(const TAbZipItem& item);
    bool confirmOverwrite(const TAbZipItem& item, const std::string& out);
    void extractFile(const TAbZipItem& item, const std::string& out);
    void report(const TAbZipItem& item, const std::exception& e);
    // The password that opens the item's encryption header, or "" when none does.
    std::string findPassword(const TAbZipItem& item, const TAbZipArchive::EntryData& data);

    std::string m_baseDirectory;
    std::string m_fileName;
    std::unique_ptr<TAbZipArchive> m_archive;
    std::vector<FailedEntry> m_failed;
    std::optional<OutputFolders> m_folders;  // of the running ExtractFiles
};

}  // namespace archive
