#include "app/libs_connection.h"

#include "core/text.h"
#include "db/errors.h"
#include "db/mysql_protocol.h"
#include "db/mysql_session.h"

namespace app {

LibsConnection::LibsConnection() : m_session(std::make_unique<db::TMySqlSession>()) {}
LibsConnection::~LibsConnection() {
    Close();
}

bool LibsConnection::Connected() const {
    return m_session->connected();
}

void LibsConnection::raise() {
    throw db::EMyError(static_cast<int>(m_session->errorNumber()),
                       core::cp1252ToUtf8(m_session->errorText()));
}

void LibsConnection::Open() {
    if (Connected()) return;
    if (BeforeConnect) BeforeConnect(*this);
    // The connection talks the single-byte Windows code page; the program holds UTF-8.
    if (!m_session->mysql_real_connect(Server, core::utf8ToCp1252(Username),
                                       core::utf8ToCp1252(Password), core::utf8ToCp1252(Database),
                                       Port, db::CLIENT_FOUND_ROWS | db::CLIENT_MULTI_STATEMENTS))
        raise();
}

void LibsConnection::Close() {
    if (Connected()) m_session->mysql_close();
}

void LibsConnection::ensureOpen() {
    Open();
}

std::vector<QueryRow> LibsConnection::Query(const std::string& sql) {
    Open();
    if (!m_session->mysql_real_query(core::utf8ToCp1252(sql))) raise();
    std::vector<QueryRow> rows;
    if (db::TMySqlResultSet* rs = m_session->mysql_use_result()) {
        const auto& fields = rs->fields();
        while (const db::RowValues* row = m_session->mysql_fetch_row(rs)) {
            QueryRow r;
            for (std::size_t i = 0; i < row->size() && i < fields.size(); ++i) {
                std::optional<std::string> v;
                if ((*row)[i]) v = core::cp1252ToUtf8(*(*row)[i]);
                r.emplace(core::cp1252ToUtf8(fields[i].Name), std::move(v));
            }
            rows.push_back(std::move(r));
        }
    }
    if (m_session->errorNumber() != 0) raise();
    for (;;) {
        const int next = m_session->mysql_next_result();
        if (next == -1) break;
        if (next != 0) raise();
        if (db::TMySqlResultSet* rs = m_session->mysql_use_result()) m_session->mysql_free_result(rs);
    }
    return rows;
}

void LibsConnection::run(const std::string& sql) {
    Open();
    if (!m_session->executeDiscardingRows(core::utf8ToCp1252(sql))) raise();
}

}  // namespace app
