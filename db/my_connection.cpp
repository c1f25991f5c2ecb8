#include "db/my_connection.h"

#include "core/text.h"
#include "db/connection_charset.h"
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
    // All four go out in the connection's character set, refused rather than altered.
    const std::string host = toConnectionTextOrRaise(Name, HostOf(Server), "The server name");
    const std::string user = toConnectionTextOrRaise(Name, Username, "The user name");
    const std::string password =
        toConnectionTextOrRaise(Name, Password, "The password", Secret::Yes);
    const std::string database = toConnectionTextOrRaise(Name, Database, "The database name");
    auto session = std::make_unique<TMySqlSession>();
    session->connectTimeout = ConnectionTimeout;
    // No charset, no sql_mode question, no autocommit command: nothing follows the handshake.
    if (!session->mysql_real_connect(host, user, password, database, Port,
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
    const std::string bytes =
        toConnectionTextOrRaise({}, core::TrimRightBelow(sql, 33), "The statement");
    if (!m_session->executeDiscardingRows(bytes)) raiseMyError(m_session->error());
}

}  // namespace db
