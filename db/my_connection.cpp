#include "db/my_connection.h"

#include "core/text.h"
#include "db/errors.h"
#include "db/mysql_protocol.h"

namespace db {

TMyConnection::~TMyConnection() {
    Close();
}

std::string TMyConnection::HostOf(std::string_view server) {
    const std::size_t comma = server.find(',');
    if (comma != std::string_view::npos) server = server.substr(0, comma);
    if (server.empty()) return "localhost";
    return std::string(server);
}

void TMyConnection::Open() {
    if (m_session) return;
    if (BeforeConnect) BeforeConnect(*this);
    auto session = std::make_unique<TMySqlSession>();
    session->connectTimeout = ConnectionTimeout;
    // No charset, no sql_mode question, no autocommit command: nothing follows the handshake.
    if (!session->mysql_real_connect(core::utf8ToCp1252(HostOf(Server)),
                                     core::utf8ToCp1252(Username), core::utf8ToCp1252(Password),
                                     core::utf8ToCp1252(Database), Port,
                                     CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS))
        raiseMyError(session->error());
    m_session = std::move(session);
}

void TMyConnection::Close() {
    if (!m_session) return;
    std::unique_ptr<TMySqlSession> session = std::move(m_session);
    session->mysql_close();  // records, never throws
}

void TMyConnection::run(const std::string& sql) {
    Open();
    // A lost session stays attached: it answers 2006 to every later statement until Close.
    if (!m_session->executeDiscardingRows(core::utf8ToCp1252(core::TrimRightBelow(sql, 33))))
        raiseMyError(m_session->error());
}

}  // namespace db
