// File-system services that std::filesystem does not give: the program's own file, and the
// steps of a copy that replaces files atomically. Existence tests and folders use std::filesystem.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace host {

// Full path of the running program's own file ("" when it cannot be found).
std::string programFilePath();

// Which end of a copy an error belongs to, so that it can be reported as the shell would.
enum class IoSide { Source, Destination };
struct IoFailure {
    std::error_code error;  // the system's own code; empty on success
    IoSide side = IoSide::Source;
    explicit operator bool() const { return static_cast<bool>(error); }
};

// What a failed file-system call means, the same on every system; the shell's result codes are
// chosen from it. The system's own codes (those of IoFailure and of std::filesystem) are
// classified here, below the platform boundary.
enum class IoError { None, NotFound, AccessDenied, NoSpace, NameTooLong, LinkLoop, Other };
IoError classifyIoError(const std::error_code& error);

// Copies the regular file `from` (bytes, modification time) to a new file in the folder of
// `to`, named so that it cannot clash, and gives that file's path in `staged`. The new file
// takes the owner, group and permission bits of `to` when that is a regular file (failing when
// the owner cannot be kept), else the permission bits of `from`. Nothing is left behind on
// failure; `to` itself is not touched.
IoFailure stageFileBeside(const std::string& from, const std::string& to, std::string& staged);
// Flushes everything written to the file system that holds `path` to stable storage.
IoFailure flushFileSystemOf(const std::string& path);
// Renames `from` over `to` in one step; `to` is either the old or the new file at every moment.
IoFailure renameOver(const std::string& from, const std::string& to);
// Removes a file; failures are ignored (for clean-up).
void removeFileQuietly(const std::string& path);

// Bytes the running process may still write to the file system that holds `folder` (quotas and
// reserved blocks taken into account); nullopt when the system cannot tell.
std::optional<std::uint64_t> freeDiskSpace(const std::string& folder);

// A calendar date and time of day as the local clock shows it.
struct LocalDateTime {
    int year = 1980;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local clock's date and time now.
LocalDateTime localNow();

// Sets the file's last-write time (and its access time, which POSIX sets together) from a
// local time; false when the time does not exist or the file refuses it.
bool setFileTimeLocal(const std::string& path, const LocalDateTime& t);
// The file's last-write time as local time; false when it cannot be read.
bool fileTimeLocal(const std::string& path, LocalDateTime& out);
// The read-only attribute: on POSIX no one may write the file (every write bit clear). A
// write-protected file is one whose owner may not write it, whoever the process runs as.
bool setReadOnly(const std::string& path);
bool isWriteProtected(const std::string& path);

}  // namespace host
