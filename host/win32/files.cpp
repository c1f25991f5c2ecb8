// Files on Windows: the program's own file, the staged copy that replaces files in one step,
// file times from FILETIME, the read-only attribute, free space and the local clock.
#include "host/platform/files.h"

#include <windows.h>

#include <cerrno>
#include <random>
#include <vector>

#include "host/win32/wide.h"

namespace host {

namespace {

IoFailure failure(IoSide side) {
    return {win32::lastError(), side};
}

// The new file's name in the destination's folder; short so that it fits wherever the
// destination's own name fits.
std::string tempNameBeside(const std::string& to) {
    const auto slash = to.find_last_of("\\/");
    const std::string dir = slash == std::string::npos ? std::string() : to.substr(0, slash + 1);
    static std::mt19937 random{std::random_device{}()};
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = dir + ".qlcopy-";
    for (int i = 0; i < 6; ++i) name += kDigits[random() % 36];
    return name;
}

class Handle {
  public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() {
        if (ok()) CloseHandle(m_h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE get() const { return m_h; }

  private:
    HANDLE m_h;
};

IoFailure copyBytes(HANDLE in, HANDLE out) {
    std::vector<char> buf(1 << 17);
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(in, buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr))
            return failure(IoSide::Source);
        if (n == 0) return {};
        for (DWORD done = 0; done < n;) {
            DWORD w = 0;
            if (!WriteFile(out, buf.data() + done, n - done, &w, nullptr))
                return failure(IoSide::Destination);
            done += w;
        }
    }
}

bool toFileTime(const LocalDateTime& t, FILETIME& out) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(t.year);
    local.wMonth = static_cast<WORD>(t.month);
    local.wDay = static_cast<WORD>(t.day);
    local.wHour = static_cast<WORD>(t.hour);
    local.wMinute = static_cast<WORD>(t.minute);
    local.wSecond = static_cast<WORD>(t.second);
    SYSTEMTIME utc{};
    // The local rules of that date decide whether summer time applies.
    return TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) &&
           SystemTimeToFileTime(&utc, &out);
}

}  // namespace

IoError classifyIoError(const std::error_code& error) {
    if (!error) return IoError::None;
    // std::filesystem reports C library errors (errno) in the generic category and Windows
    // errors in the system one; our own calls report Windows errors.
    if (error.category() == std::generic_category()) {
        switch (error.value()) {
            case ENOENT:
            case ENOTDIR:
                return IoError::NotFound;
            case EACCES:
            case EPERM:
            case EROFS:
                return IoError::AccessDenied;
            case ENOSPC:
            case EFBIG:
                return IoError::NoSpace;
            case ENAMETOOLONG:
                return IoError::NameTooLong;
            case ELOOP:
                return IoError::LinkLoop;
            default:
                return IoError::Other;
        }
    }
    if (error.category() != std::system_category()) return IoError::Other;
    switch (static_cast<DWORD>(error.value())) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_DRIVE:
        case ERROR_DIRECTORY:
            return IoError::NotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return IoError::AccessDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_FILE_TOO_LARGE:
            return IoError::NoSpace;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return IoError::NameTooLong;
        case ERROR_CANT_RESOLVE_FILENAME:
            return IoError::LinkLoop;
        default:
            return IoError::Other;
    }
}

// GetModuleFileNameW into a buffer that grows until the path fits.
std::string programFilePath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return win32::fromWide(std::wstring_view(buf.data(), n));
        buf.resize(buf.size() * 2);
    }
}

// The new file takes the bytes and the last-write time of `from`, and is flushed to the disk
// before it is closed (Windows has no flush of a whole file system for a program without
// administrator rights on the volume); its attributes follow in renameOver's target.
IoFailure stageFileBeside(const std::string& from, const std::string& to, std::string& staged) {
    staged.clear();
    Handle in(CreateFileW(win32::toWide(from).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.ok()) return failure(IoSide::Source);
    FILETIME written{};
    if (!GetFileTime(in.get(), nullptr, nullptr, &written)) return failure(IoSide::Source);
    std::string temp;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temp = tempNameBeside(to);
        created = CreateFileW(win32::toWide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (created == INVALID_HANDLE_VALUE) return failure(IoSide::Destination);
    IoFailure f;
    {
        Handle out(created);
        f = copyBytes(in.get(), out.get());
        if (!f && !SetFileTime(out.get(), nullptr, nullptr, &written))
            f = failure(IoSide::Destination);
        if (!f && !FlushFileBuffers(out.get())) f = failure(IoSide::Destination);
    }
    if (f) {
        DeleteFileW(win32::toWide(temp).c_str());
        return f;
    }
    const DWORD attributes = GetFileAttributesW(win32::toWide(from).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(win32::toWide(temp).c_str(),
                           attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    staged = std::move(temp);
    return {};
}

// Every staged file was flushed when it was written.
IoFailure flushFileSystemOf(const std::string&) {
    return {};
}

// MoveFileExW with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH. A read-only file in the
// way is replaced as the shell replaces it when every question is answered yes.
IoFailure renameOver(const std::string& from, const std::string& to) {
    const std::wstring target = win32::toWide(to);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(target.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if (!MoveFileExW(win32::toWide(from).c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        IoFailure f = failure(IoSide::Destination);
        if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(target.c_str(), attributes);
        return f;
    }
    return {};
}

void removeFileQuietly(const std::string& path) {
    const std::wstring p = win32::toWide(path);
    SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(p.c_str());
}

std::optional<std::uint64_t> freeDiskSpace(const std::string& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(win32::toWide(folder).c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return static_cast<std::uint64_t>(available.QuadPart);
}

LocalDateTime localNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// SetFileTime takes UTC: the local time is converted by the rules of its own date.
bool setFileTimeLocal(const std::string& path, const LocalDateTime& t) {
    FILETIME when{};
    if (!toFileTime(t, when)) return false;
    Handle f(CreateFileW(win32::toWide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return f.ok() && SetFileTime(f.get(), nullptr, &when, &when);
}

bool fileTimeLocal(const std::string& path, LocalDateTime& out) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(win32::toWide(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return false;
    out = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return true;
}

// FILE_ATTRIBUTE_READONLY, the MS-DOS read-only attribute.
bool setReadOnly(const std::string& path) {
    const std::wstring p = win32::toWide(path);
    const DWORD attributes = GetFileAttributesW(p.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           SetFileAttributesW(p.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
}

bool isWriteProtected(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace host
