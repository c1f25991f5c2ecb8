// Sans-I/O readers of the server's packets (handshake, OK, end-of-data, error, column
// definition, row): each takes one joined payload and gives a value or a MySqlError;
// a short or inconsistent packet is 2027 "Malformed packet", never a read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "db/client_errors.h"

namespace db {

using Payload = std::span<const std::byte>;

struct Handshake {
    unsigned protocolVersion = 0;
    std::string serverVersion;
    std::uint32_t threadId = 0;
    std::string scramble;  // 8 bytes, or 20 when the server sent the second part
    std::uint16_t serverCapabilities = 0;
    std::uint8_t serverLanguage = 0;
    std::uint16_t serverStatus = 0;
};

struct OkPacket {
    std::uint64_t affectedRows = 0;
    std::uint64_t insertId = 0;
    std::uint16_t serverStatus = 0;
    bool hasStatus = false;
    std::uint16_t warningCount = 0;
    std::string info;
};

struct EofPacket {
    std::uint16_t warningCount = 0;
    std::uint16_t serverStatus = 0;
    bool hasStatus = false;
};

struct TMySqlFieldInfo {
    std::string Name, OrgName, Table, OrgTable, Database, DefaultValue;
    std::uint32_t Length = 0;
    std::uint32_t Scale = 0;  // decimals
    std::uint32_t MaxLength = 0;
    std::uint32_t Flags = 0;
    std::uint16_t CharsetNr = 0;
    std::uint8_t Type = 0;
};

// A row decoded in place: each value views the received packet; nullopt is NULL.
using RowValues = std::vector<std::optional<std::string_view>>;

// The first byte of a payload, or nullopt for an empty one.
std::optional<std::uint8_t> firstByte(Payload p);
bool isErrorPacket(Payload p);
// 0xFE and at most 8 bytes: the end of column definitions or of rows.
bool isEofPacket(Payload p);

// The server's greeting. An error packet in its place gives that error; protocol other than 10
// gives 2007.
core::Result<Handshake, MySqlError> readHandshake(Payload p);
// The OK packet; `protocol41` and `transactions` say which optional fields the server sends.
core::Result<OkPacket, MySqlError> readOk(Payload p, bool protocol41, bool transactions);
core::Result<EofPacket, MySqlError> readEof(Payload p, bool protocol41);
// The error packet as the error to report: the server's number and CR LF, then its message
// ("#" and the SQL state first under protocol 4.1). Malformed gives 2027.
MySqlError readError(Payload p);

struct ColumnCount {
    std::uint64_t count = 0;
    std::optional<std::uint64_t> extraInfo;
};
core::Result<ColumnCount, MySqlError> readColumnCount(Payload p);
core::Result<TMySqlFieldInfo, MySqlError> readColumnDefinition(Payload p, bool protocol41);
// Decodes `columns` values into `out` (resized), viewing `p`.
core::Result<void, MySqlError> readRow(Payload p, std::size_t columns, RowValues& out);

}  // namespace db
