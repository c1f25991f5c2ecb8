// TMySqlSession: one MySQL client session over TCP (login, text queries, result sets, quit).
// Every operation records an error number and text instead of throwing; 0 and "" on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/client_errors.h"
#include "db/mysql_net.h"
#include "db/mysql_protocol.h"
#include "db/packet_readers.h"

namespace db {

enum TMySqlStatus { msReady, msGetResult, msUseResult };

enum TMySqlProtocolType {
    MYSQL_PROTOCOL_DEFAULT,
    MYSQL_PROTOCOL_TCP,
    MYSQL_PROTOCOL_SOCKET,
    MYSQL_PROTOCOL_PIPE,
    MYSQL_PROTOCOL_MEMORY,
    MYSQL_PROTOCOL_SSL
};

class TMySqlSession;

// The result set being read: its columns and the row last fetched (valid until the next fetch).
class TMySqlResultSet {
  public:
    std::size_t fieldCount() const { return m_fields.size(); }
    const std::vector<TMySqlFieldInfo>& fields() const { return m_fields; }
    std::uint64_t extraInfo = 0;

  private:
    friend class TMySqlSession;
    std::vector<TMySqlFieldInfo> m_fields;
    RowValues m_row;
};

class TMySqlSession {
  public:
    TMySqlSession() = default;
    ~TMySqlSession();
    TMySqlSession(const TMySqlSession&) = delete;
    TMySqlSession& operator=(const TMySqlSession&) = delete;

    // Connection target and login (single-byte texts); port 0 means 3306, "" means localhost.
    std::string host, user, password, database;
    unsigned port = 0;
    int connectTimeout = 15;  // seconds: name resolution, TCP connect, handshake
    int commandTimeout = 0;   // seconds per command; 0 means no limit
    TMySqlProtocolType protocolType = MYSQL_PROTOCOL_DEFAULT;  // every value means TCP here

    // From the server's greeting; serverStatus follows every OK and end-of-data packet.
    std::string serverVersion;
    std::uint32_t threadId = 0;
    std::string scrambleBuff;
    std::uint16_t serverCapabilities = 0;
    std::uint8_t serverLanguage = 0;
    std::uint16_t serverStatus = 0;
    std::uint32_t clientFlag = 0;
    std::string hostInfo;

    // From the last OK packet.
    std::uint64_t affectedRows = 0;
    std::uint64_t insertId = 0;
    std::uint16_t warningCount = 0;
    std::string info;

    TMySqlStatus status = msReady;

    // Connects and logs in. `clientFlags` are the caller's capability flags.
    bool mysql_real_connect(std::string_view host, std::string_view user, std::string_view password,
                            std::string_view database, unsigned port, std::uint32_t clientFlags);
    // Sends a text query (bytes of the connection's character set) and reads the first answer:
    // an OK packet or a result set's column definitions.
    bool mysql_real_query(std::string_view query);
    // The result set whose column definitions were read, or nullptr after an OK answer or on
    // error (2014 when no result set waits).
    TMySqlResultSet* mysql_use_result();
    // The next row, or nullptr at the end of the rows or on error (errorNumber() tells).
    const RowValues* mysql_fetch_row(TMySqlResultSet* result);
    // Reads and drops the rows not yet taken.
    void mysql_free_result(TMySqlResultSet* result);
    bool mysql_more_results() const { return (serverStatus & SERVER_MORE_RESULTS_EXISTS) != 0; }
    // Reads the next result of a multi-statement query: 0 when read, -1 when there is none,
    // an error number when it failed.
    int mysql_next_result();
    // Sends the quit command (without waiting) and closes the socket; errors are ignored.
    void mysql_close();

    // For a command that wants no rows: runs the query, takes every result in turn and drops
    // its rows; an error in any result fails the command.
    bool executeDiscardingRows(std::string_view query);

    bool connected() const { return m_connected; }
    unsigned errorNumber() const { return m_error.code; }
    const std::string& errorText() const { return m_error.text; }
    const MySqlError& error() const { return m_error; }
    // Fields of the result set being read (empty after an OK answer).
    std::size_t fieldCount() const { return m_result.fieldCount(); }
    const std::vector<TMySqlFieldInfo>& fields() const { return m_result.fields(); }

  private:
    void clearError() { m_error = {}; }
    bool fail(MySqlError e);
    // A failure after which the byte stream cannot be trusted: the socket is dropped.
    bool failBroken(MySqlError e);
    bool protocol41() const;
    bool beginCommand();
    bool login(std::string_view password, std::string_view database, std::uint32_t clientFlags);
    // Reads the first answer of a command or of the next result.
    bool readResultHead();
    bool readColumnDefinitions(std::uint64_t count);
    bool refuseLocalFile();
    void applyOk(const OkPacket& ok);
    bool endOfRows(std::span<const std::byte> p);
    void drainRemainingResults();

    TMySqlNet m_net;
    bool m_connected = false;
    bool m_lastWasOk = false;
    bool m_refusingFile = false;
    TMySqlResultSet m_result;
    MySqlError m_error;
};

}  // namespace db
