// Numbers of the MySQL client/server protocol that this client uses: capability flags, server
// status bits, command codes, packet limits. Names follow the protocol documentation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace db {

// Capability flags (protocol documentation, "Capabilities").
inline constexpr std::uint32_t CLIENT_LONG_PASSWORD = 0x00000001;
inline constexpr std::uint32_t CLIENT_FOUND_ROWS = 0x00000002;
inline constexpr std::uint32_t CLIENT_LONG_FLAG = 0x00000004;
inline constexpr std::uint32_t CLIENT_CONNECT_WITH_DB = 0x00000008;
inline constexpr std::uint32_t CLIENT_COMPRESS = 0x00000020;
inline constexpr std::uint32_t CLIENT_LOCAL_FILES = 0x00000080;
inline constexpr std::uint32_t CLIENT_PROTOCOL_41 = 0x00000200;
inline constexpr std::uint32_t CLIENT_SSL = 0x00000800;
inline constexpr std::uint32_t CLIENT_TRANSACTIONS = 0x00002000;
inline constexpr std::uint32_t CLIENT_SECURE_CONNECTION = 0x00008000;
inline constexpr std::uint32_t CLIENT_MULTI_STATEMENTS = 0x00010000;
inline constexpr std::uint32_t CLIENT_MULTI_RESULTS = 0x00020000;

// What every login of this client asks for on top of the caller's flags.
inline constexpr std::uint32_t kClientBaseFlags =
    CLIENT_LONG_PASSWORD | CLIENT_LONG_FLAG | CLIENT_LOCAL_FILES | CLIENT_PROTOCOL_41 |
    CLIENT_TRANSACTIONS | CLIENT_SECURE_CONNECTION | CLIENT_MULTI_STATEMENTS |
    CLIENT_MULTI_RESULTS;  // 0x3A285

// Server status bits (OK and EOF packets).
inline constexpr std::uint16_t SERVER_STATUS_IN_TRANS = 0x0001;
inline constexpr std::uint16_t SERVER_STATUS_AUTOCOMMIT = 0x0002;
inline constexpr std::uint16_t SERVER_MORE_RESULTS_EXISTS = 0x0008;

// Command codes: the command byte is the position in this order.
enum TServerCommand : std::uint8_t {
    scSleep,
    scQuit,
    scInitDb,
    scQuery,
    scFieldList,
    scCreateDb,
    scDropDb,
    scRefresh,
    scShutdown,
    scStatistics,
    scProcessInfo,
    scConnect,
    scProcessKill,
    scDebug,
    scPing,
    scTime,
    scDelayedInsert,
    scChangeUser,
    scBunLogDump,
    scTableDump,
    scConnectOut,
    scRegisterSlave,
    scPrepare,
    scExecute,
    scLongData,
    scCloseStmt
};

inline constexpr std::uint8_t kProtocolVersion = 10;
// The largest payload of one packet; a payload of exactly this size continues in the next.
inline constexpr std::size_t kMaxPacket = 0xFFFFFF;
// The largest packet the client announces and accepts after joining continuations.
inline constexpr std::uint32_t kMaxAllowedPacket = 0x40000000;
// Columns one result may announce (far beyond the server's own limit of 4096 per table).
inline constexpr std::uint64_t kMaxColumns = 65535;
// Memory one result may take when it is kept whole (a query's rows and fields, a session's
// column definitions): far beyond anything the updater reads, small enough that a hostile
// server cannot exhaust the machine through it.
inline constexpr std::size_t kMaxResultBytes = 64 * 1024 * 1024;
// latin1 with the Swedish collation: the connection's single-byte character set.
inline constexpr std::uint8_t kCharsetLatin1Swedish = 8;
inline constexpr std::size_t kScrambleLength = 20;
inline constexpr std::size_t kScrambleLength323 = 8;

// First bytes that identify packets.
inline constexpr std::uint8_t kOkHeader = 0x00;
inline constexpr std::uint8_t kLocalInfileHeader = 0xFB;
inline constexpr std::uint8_t kNullValue = 0xFB;
inline constexpr std::uint8_t kEofHeader = 0xFE;
inline constexpr std::uint8_t kErrorHeader = 0xFF;
// An end-of-data packet is 0xFE with at most this many bytes; a longer one is a row.
inline constexpr std::size_t kMaxEofPacket = 8;

}  // namespace db
