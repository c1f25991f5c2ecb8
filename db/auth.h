// The two password answers of the login: the 4.1 native-password token (SHA-1) and the pre-4.1
// ("old password", 323) scramble, plus the client answer packet that carries them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace db {

// SHA1(password) XOR SHA1(scramble + SHA1(SHA1(password))): 20 bytes. Empty for an empty
// password (the login then sends no token).
std::string nativePasswordToken(std::string_view password, std::string_view scramble20);

// The pre-4.1 password hash: two 31-bit numbers (the server's OLD_PASSWORD() prints them as
// 16 hexadecimal digits). Spaces and tabs in the password are ignored.
struct OldPasswordHash {
    std::uint32_t first = 0;
    std::uint32_t second = 0;
};
OldPasswordHash oldPasswordHash(std::string_view password);
// The 8-character answer of the pre-4.1 method to the first 8 scramble bytes.
std::string oldPasswordAnswer(std::string_view password, std::string_view scramble8);

// What the client answer of the login carries.
struct LoginAnswer {
    std::uint32_t clientFlag = 0;  // after the server's capabilities were applied
    std::string user;
    std::string password;
    std::string database;
    std::string scramble;  // 8 or 20 bytes from the greeting
    std::uint16_t serverCapabilities = 0;
};
// The capability flags sent for the caller's flags towards a server with these capabilities.
std::uint32_t clientCapabilities(std::uint32_t callerFlags, std::uint16_t serverCapabilities);
// The payload of the client answer (no packet header).
std::string buildLoginAnswer(const LoginAnswer& a);

}  // namespace db
