// Error values of the MySQL client layer: a number and a text, as the standard client words
// them. Server errors keep their own number; the text of client codes comes from the table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace db {

enum ClientErrorCode : unsigned {
    CR_UNKNOWN_ERROR = 2000,
    CR_CONN_HOST_ERROR = 2003,
    CR_UNKNOWN_HOST = 2005,
    CR_SERVER_GONE_ERROR = 2006,
    CR_VERSION_ERROR = 2007,
    CR_OUT_OF_MEMORY = 2008,
    CR_SERVER_HANDSHAKE_ERR = 2012,
    CR_SERVER_LOST = 2013,
    CR_COMMANDS_OUT_OF_SYNC = 2014,
    CR_NET_PACKET_TOO_LARGE = 2020,
    CR_MALFORMED_PACKET = 2027,
    CR_LOAD_DATA_LOCAL_INFILE_REJECTED = 2068,
};

// The server's code for a packet whose sequence number is not the expected one.
inline constexpr unsigned ER_NET_PACKETS_OUT_OF_ORDER = 1156;
// The number always reported by a failed connect, whatever the transport said.
inline constexpr int kConnectErrorNumber = 10061;

struct MySqlError {
    unsigned code = 0;
    std::string text;
    // Diagnosis only, never part of the message: where a reader found a packet malformed.
    std::string detail;
};

// The table's text for a client code (with its printf fields unfilled), or nullptr.
const char* clientErrorFormat(unsigned code);
// The table's text for a code whose text has no fields (2000, 2006, 2013, 2014, 2027...).
MySqlError clientError(unsigned code);
// 2003: "Can't connect to MySQL server on 'HOST' (10061)", then CR LF and the reason if any.
MySqlError connectError(std::string_view host, std::string_view reason);
// 2003 for a connect (resolution, TCP connect, handshake, login answer) that did not finish
// within the connection time-out: the reason is "Connection timed out".
MySqlError connectTimedOut(std::string_view host);
// 2008 for a result that would take more than `limit` bytes to keep.
MySqlError resultTooLarge(std::size_t limit);
// 2007 with both protocol versions.
MySqlError versionError(unsigned serverVersion);
// 1156 with the received and expected sequence numbers.
MySqlError outOfOrderError(unsigned received, unsigned expected);
// "Socket error on OP. WSAGetLastError return N($HEX)": the transport's reason line.
std::string socketReason(std::string_view op, int code);
// 2027 "Malformed packet"; the reader's finding goes to `detail`.
MySqlError malformedPacket(std::string_view detail);

}  // namespace db
