// LibsConnection: the session's MySQL connection MyLibs, with just what the survey and the
// script runner need (open with BeforeConnect, run a query into rows, run a statement).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/statement_runner.h"

namespace db {
class TMySqlSession;
}

namespace app {

// One row of a query, columns by name (as the server names them), values as UTF-8 text.
using QueryRow = std::map<std::string, std::optional<std::string>>;

class LibsConnection : public db::StatementRunner {
  public:
    LibsConnection();
    ~LibsConnection() override;
    LibsConnection(const LibsConnection&) = delete;
    LibsConnection& operator=(const LibsConnection&) = delete;

    std::string Server, Username, Password, Database;
    unsigned Port = 0;  // 0: 3306
    // Runs before every connect, so that it can set the login fields.
    std::function<void(LibsConnection& sender)> BeforeConnect;

    // Both throw db::EMyError when the server or the session reports an error.
    void Open();
    void Close();
    bool Connected() const;
    // The rows of the first result of `sql`, every further result read and dropped.
    std::vector<QueryRow> Query(const std::string& sql);

    void ensureOpen() override;
    void run(const std::string& sql) override;

  private:
    [[noreturn]] void raise();
    std::unique_ptr<db::TMySqlSession> m_session;
};

}  // namespace app
