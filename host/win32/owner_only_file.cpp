#include "host/platform/owner_only_file.h"

#include <aclapi.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "host/win32/wide.h"

namespace host {

namespace {

std::error_code win32Error(DWORD e) {
    if (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS)
        return std::make_error_code(std::errc::file_exists);
    return {static_cast<int>(e), std::system_category()};
}

// The SID of the user this process runs as, in the buffer of its TOKEN_USER.
std::vector<unsigned char> tokenUser(DWORD& error) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        error = GetLastError();
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        error = GetLastError();
        buffer.clear();
    }
    CloseHandle(token);
    return buffer;
}

}  // namespace

std::error_code writeNewOwnerOnlyFile(const std::string& path, std::string_view bytes) {
    DWORD error = 0;
    std::vector<unsigned char> user = tokenUser(error);
    if (user.empty()) return win32Error(error);
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;

    // A DACL of one entry, full control for this user, protected so that the folder's
    // inheritable entries are not merged in: the file is owner-only from its creation.
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
    std::vector<unsigned char> aclBuffer(aclSize);
    PACL acl = reinterpret_cast<PACL>(aclBuffer.data());
    SECURITY_DESCRIPTOR sd{};
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
        !InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return win32Error(GetLastError());
    SECURITY_ATTRIBUTES sa{sizeof(sa), &sd, FALSE};

    // CREATE_NEW: anything of that name, a link included, is an error and not a target.
    const std::wstring wide = win32::toWide(path);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE | WRITE_DAC, 0, &sa, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return win32Error(GetLastError());
    // The same DACL set once more on the still empty file, marked protected: some file systems
    // (and wine) merge the folder's inheritable entries into the one given at creation.
    error = SetSecurityInfo(h, SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, acl, nullptr);
    for (std::size_t done = 0; done < bytes.size() && !error;) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr)) error = GetLastError();
        done += written;
    }
    if (!error && !FlushFileBuffers(h)) error = GetLastError();
    if (!CloseHandle(h) && !error) error = GetLastError();
    if (error) {
        DeleteFileW(wide.c_str());
        return win32Error(error);
    }
    return {};
}

}  // namespace host
