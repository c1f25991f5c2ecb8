// Durable writes on Windows: FlushFileBuffers on the file, MoveFileExW with
// MOVEFILE_WRITE_THROUGH (it returns once the rename is on the disk), and a flush of the folder
// where the file system lets a program open one for writing.
#include "host/platform/durable.h"

#include <windows.h>

#include "host/win32/wide.h"

namespace host {
namespace {

IoFailure failure() {
    return {win32::lastError(), IoSide::Destination};
}

class Handle {
  public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE get() const { return m_h; }
    // False (GetLastError set) when closing failed.
    bool close() {
        if (!ok()) return true;
        const bool closed = CloseHandle(m_h) != 0;
        m_h = INVALID_HANDLE_VALUE;
        return closed;
    }

  private:
    HANDLE m_h;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash + 1);
}

IoFailure writeAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(h, bytes.data(), chunk, &written, nullptr)) return failure();
        bytes.remove_prefix(written);
    }
    return {};
}

}  // namespace

// A folder is flushed through a handle opened for writing with FILE_FLAG_BACKUP_SEMANTICS.
// File systems and versions that refuse such a handle or its flush (access denied, or a
// function the volume does not have) have nothing more to do: every rename here went through
// MoveFileExW with MOVEFILE_WRITE_THROUGH, which returns only once the name is on the disk.
IoFailure syncFolder(const std::string& folder) {
    Handle dir(CreateFileW(win32::toWide(folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const auto refusedOnly = [] {
        const DWORD e = GetLastError();
        return e == ERROR_ACCESS_DENIED || e == ERROR_INVALID_FUNCTION ||
               e == ERROR_INVALID_PARAMETER || e == ERROR_NOT_SUPPORTED;
    };
    if (!dir.ok()) return refusedOnly() ? IoFailure{} : failure();
    if (!FlushFileBuffers(dir.get()) && !refusedOnly()) return failure();
    return {};
}

IoFailure writeFileDurably(const std::string& path, std::string_view bytes) {
    const std::string temp = path + ".new";
    const std::wstring wideTemp = win32::toWide(temp);
    IoFailure f;
    {
        Handle out(CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!out.ok()) return failure();
        f = writeAll(out.get(), bytes);
        if (!f && !FlushFileBuffers(out.get())) f = failure();
        if (!out.close() && !f) f = failure();
    }
    if (!f && !MoveFileExW(wideTemp.c_str(), win32::toWide(path).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        f = failure();
    if (f) {
        DeleteFileW(wideTemp.c_str());
        return f;
    }
    return syncFolder(folderOf(path));
}

IoFailure appendDurably(const std::string& path, std::string_view bytes) {
    Handle out(CreateFileW(win32::toWide(path).c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!out.ok()) return failure();
    IoFailure f = writeAll(out.get(), bytes);
    if (!f && !FlushFileBuffers(out.get())) f = failure();
    if (!out.close() && !f) f = failure();
    return f;
}

}  // namespace host
