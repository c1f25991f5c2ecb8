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
    std::string FileName;   // decoded to UTF-8, separators as stored
    std::size_t index = 0;  // in central-directory order

    // External attribute 0x10 (an MS-DOS folder) or a name ending in a separator.
    bool IsDirectory() const;
};

// What the check of every local header before extraction found for one entry.
enum class EntryLayout : std::uint8_t {
    Unchecked,
    Sound,
    BadLocalSignature,  // no local header at the entry's offset
    LocalMismatch,      // the local header describes another entry
    Overlap,            // its bytes are also another entry's, or the central directory's
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

    // The items in central-directory order, each made from the directory when asked for: the
    // archive keeps the directory's bytes and a few numbers per entry, nothing more.
    std::size_t Count() const { return m_items.size(); }
    TAbZipItem Item(std::size_t index) const;

    // Reads every entry's local header once and records how its layout was found; a later
    // entryData() of an unsound entry raises EAbZipInvalid.
    void checkLayout();
    EntryLayout layout(std::size_t index) const { return m_items[index].layout; }

    // Checks the item's local header (EAbZipInvalid) and gives it with the file offset of the
    // data, which starts right after the local name and extra field.
    struct EntryData {
        std::uint64_t offset;
        LocalHeader local;
    };
    EntryData entryData(const TAbZipItem& item) const;
    const ArchiveFile& file() const { return m_file; }

  private:
    // Per entry: where its header starts in m_directory, and its decoded name in m_names.
    struct ItemRecord {
        std::uint32_t header = 0;
        std::uint32_t nameAt = 0;
        std::uint32_t nameLength = 0;
        EntryLayout layout = EntryLayout::Unchecked;
    };

    void readDirectory(const NameCodePages& pages);
    // The open file as the content tests and the end record search read it.
    FileProbe probe();
    std::uint64_t localHeaderAt(const CentralHeader& h) const;
    // Reads and checks one entry's local header; its span in the file when it has one.
    EntryLayout readLocalHeader(const CentralHeader& h, LocalHeader& local,
                                std::uint64_t& dataOffset) const;

    std::string m_fileName;
    NameCodePages m_pages;
    std::string m_baseDirectory;
    ArchiveFile m_file;
    ArchiveKind m_kind = ArchiveKind::Unknown;
    EndRecord m_end;
    std::int64_t m_shift = 0;  // bytes in front of the archive: added to every recorded offset
    std::uint64_t m_directoryStart = 0;  // where the central directory really starts
    std::vector<std::byte> m_directory;  // the central directory as read
    std::vector<ItemRecord> m_items;
    std::string m_names;
    bool m_checked = false;
};

}  // namespace archive
