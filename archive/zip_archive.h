// TAbZipArchive: an open ZIP file with its end record and its items in central-directory order;
// TAbZipItem: one entry, its central directory fields and its decoded name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/archive_kind.h"
#include "archive/zip_format.h"
#include "archive/zip_names.h"

namespace archive {

struct TAbZipItem {
    CentralHeader header;
    std::string FileName;  // decoded to UTF-8, separators as stored

    // External attribute 0x10 (an MS-DOS folder) or a name ending in a separator.
    bool IsDirectory() const;
};

class TAbZipArchive {
  public:
    // Opens the file and reads its directory; throws the failures of opening (EAbFileNotFound,
    // EAbBadStream, EAbNoSuchDirectory, EAbUnhandledType, EAbZipInvalid, EInOutError).
    TAbZipArchive(const std::string& fileName, const std::string& baseDirectory,
                  const NameCodePages& pages = {});

    const std::string& FileName() const { return m_fileName; }
    const std::string& BaseDirectory() const { return m_baseDirectory; }
    // Applies a base directory: without its trailing separator; EAbNoSuchDirectory when a
    // non-empty one does not exist.
    void SetBaseDirectory(const std::string& dir);
    ArchiveKind kind() const { return m_kind; }
    const EndRecord& endRecord() const { return m_end; }
    const std::vector<TAbZipItem>& Items() const { return m_items; }

    // Checks the item's local header (EAbZipInvalid) and gives it with the file offset of the
    // data, which starts right after the local name and extra field.
    struct EntryData {
        std::uint64_t offset;
        LocalHeader local;
    };
    EntryData entryData(const TAbZipItem& item);
    ArchiveFile& file() { return m_file; }

  private:
    void readDirectory(const NameCodePages& pages);
    // The open file as the content tests and the end record search read it.
    FileProbe probe();

    std::string m_fileName;
    std::string m_baseDirectory;
    ArchiveFile m_file;
    ArchiveKind m_kind = ArchiveKind::Unknown;
    EndRecord m_end;
    std::int64_t m_shift = 0;  // bytes in front of the archive: added to every recorded offset
    std::vector<TAbZipItem> m_items;
};

}  // namespace archive
