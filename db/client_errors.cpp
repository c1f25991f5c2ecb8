#include "db/client_errors.h"

#include "db/mysql_protocol.h"

#include <cstdio>

namespace db {

namespace {

struct Entry {
    unsigned code;
    const char* text;
};

// The standard client's wording for the codes this client produces.
constexpr Entry kTable[] = {
    {CR_UNKNOWN_ERROR, "Unknown MySQL error"},
    {CR_CONN_HOST_ERROR, "Can't connect to MySQL server on '%s' (%d)"},
    {CR_UNKNOWN_HOST, "Unknown MySQL Server Host '%-.64s' (%d)"},
    {CR_SERVER_GONE_ERROR, "MySQL server has gone away"},
    {CR_VERSION_ERROR, "Protocol mismatch. Server Version = %d Client Version = %d"},
    {CR_OUT_OF_MEMORY, "MySQL client ran out of memory"},
    {CR_SERVER_HANDSHAKE_ERR, "Error in server handshake"},
    {CR_SERVER_LOST, "Lost connection to MySQL server during query"},
    {CR_COMMANDS_OUT_OF_SYNC, "Commands out of sync;  You can't run this command now"},
    {CR_NET_PACKET_TOO_LARGE, "Got packet bigger than 'max_allowed_packet' bytes"},
    {CR_MALFORMED_PACKET, "Malformed packet"},
    {CR_LOAD_DATA_LOCAL_INFILE_REJECTED,
     "LOAD DATA LOCAL INFILE file request rejected due to restrictions on access."},
};

}  // namespace

const char* clientErrorFormat(unsigned code) {
    for (const Entry& e : kTable)
        if (e.code == code) return e.text;
    return nullptr;
}

MySqlError clientError(unsigned code) {
    const char* text = clientErrorFormat(code);
    return {code, text ? text : clientErrorFormat(CR_UNKNOWN_ERROR), {}};
}

MySqlError connectError(std::string_view host, std::string_view reason) {
    std::string text = "Can't connect to MySQL server on '" + std::string(host) + "' (" +
                       std::to_string(kConnectErrorNumber) + ")";
    if (!reason.empty()) text += "\r\n" + std::string(reason);
    return {CR_CONN_HOST_ERROR, text, {}};
}

MySqlError connectTimedOut(std::string_view host) {
    return connectError(host, "Connection timed out");
}

MySqlError resultTooLarge(std::size_t limit) {
    MySqlError e = clientError(CR_OUT_OF_MEMORY);
    e.text += "\r\nThe result needs more than the " + std::to_string(limit) +
              " bytes one result may hold";
    return e;
}

MySqlError versionError(unsigned serverVersion) {
    return {CR_VERSION_ERROR,
            "Protocol mismatch. Server Version = " + std::to_string(serverVersion) +
                " Client Version = " + std::to_string(kProtocolVersion),
            {}};
}

MySqlError outOfOrderError(unsigned received, unsigned expected) {
    return {ER_NET_PACKETS_OUT_OF_ORDER,
            "ReceiveHeader: Net packets out of order: received[" + std::to_string(received) +
                "], expected[" + std::to_string(expected) + "]",
            {}};
}

std::string socketReason(std::string_view op, int code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(code));
    return "Socket error on " + std::string(op) + ". WSAGetLastError return " +
           std::to_string(code) + "($" + hex + ")";
}

MySqlError malformedPacket(std::string_view detail) {
    MySqlError e = clientError(CR_MALFORMED_PACKET);
    e.detail = std::string(detail);
    return e;
}

}  // namespace db
