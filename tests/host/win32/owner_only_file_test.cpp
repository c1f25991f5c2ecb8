// The publisher's private key file on Windows: a protected DACL with one entry, full control for
// the user who made it, and CREATE_NEW semantics.
#include "host/platform/owner_only_file.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Dacl {
    bool read = false;
    bool isProtected = false;
    std::vector<std::pair<BYTE, ACCESS_MASK>> entries;  // ACE type, rights
    bool onlyForMe = true;
};

Dacl daclOf(const fs::path& file) {
    Dacl d;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(file.wstring().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &acl, nullptr, &sd) != ERROR_SUCCESS)
        return d;
    d.read = acl != nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(sd, &control, &revision);
    d.isProtected = (control & SE_DACL_PROTECTED) != 0;

    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<unsigned char> user(256);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size);
    CloseHandle(token);
    PSID me = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;

    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        d.entries.emplace_back(allowed->Header.AceType, allowed->Mask);
        d.onlyForMe &= EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), me) != 0;
    }
    LocalFree(sd);
    return d;
}

TEST(OwnerOnlyFile, ProtectedDaclOfOneEntryForItsOwner) {
    testsupport::TempDir dir;
    const fs::path key = dir.path() / "private.key";
    ASSERT_FALSE(host::writeNewOwnerOnlyFile(key.string(), "secret\n"));
    EXPECT_EQ(testsupport::readFile(key), "secret\n");
    const Dacl d = daclOf(key);
    ASSERT_TRUE(d.read);
    if (testsupport::runningUnderWine())
        GTEST_SKIP() << "wine builds a file's DACL from its Unix mode bits: it keeps neither the "
                        "DACL given at creation nor SE_DACL_PROTECTED";
    EXPECT_TRUE(d.isProtected) << "no entries inherited from the folder";
    ASSERT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(d.entries[0].first, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(d.entries[0].second & FILE_ALL_ACCESS, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    EXPECT_TRUE(d.onlyForMe);
}

TEST(OwnerOnlyFile, ExistingNamesAndMissingFoldersAreRefused) {
    testsupport::TempDir dir;
    dir.write("taken", "old");
    EXPECT_EQ(host::writeNewOwnerOnlyFile(dir.str() + "taken", "new"), std::errc::file_exists);
    EXPECT_EQ(testsupport::readFile(dir.path() / "taken"), "old");
    fs::create_directory(dir.path() / "folder");
    EXPECT_TRUE(host::writeNewOwnerOnlyFile(dir.str() + "folder", "new"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
    EXPECT_TRUE(host::writeNewOwnerOnlyFile(dir.str() + "no/such/folder", "x"));
    EXPECT_FALSE(fs::exists(dir.path() / "no"));
}

}  // namespace
