// TMyConnection: the application's one connection to the MySQL server. It holds the settings,
// opens a client session on demand (BeforeConnect first) and runs script statements on it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/mysql_session.h"
#include "db/statement_runner.h"

namespace db {

class TMyConnection : public StatementRunner {
  public:
    TMyConnection() = default;
    explicit TMyConnection(std::string name) : Name(std::move(name)) {}
    ~TMyConnection() override;
    TMyConnection(const TMyConnection&) = delete;
    TMyConnection& operator=(const TMyConnection&) = delete;

    std::string Name;
    // Settings (UTF-8; sent as Windows-1252 bytes of the connection's single-byte charset).
    std::string Server;  // host; text after a first comma is ignored, "" is "localhost"
    unsigned Port = 3306;
    std::string Username;
    std::string Password;
    std::string Database;
    int ConnectionTimeout = 15;  // seconds: resolution, TCP connect, handshake
    // Kept for the settings table; none of them changes what is sent.
    bool LoginPrompt = true;
    bool AutoCommit = true;
    bool Pooling = false;

    // Runs at the start of every real connection attempt (never when already open).
    std::function<void(TMyConnection& sender)> BeforeConnect;

    // Failures raise EMyError and leave the connection closed.
    void Open();
    // Sends quit and closes; a failure while quitting is ignored.
    void Close();
    bool Connected() const { return m_session != nullptr; }
    void SetConnected(bool value) { value ? Open() : Close(); }

    // The open session (nullptr when closed).
    TMySqlSession* Session() const { return m_session.get(); }

    // The host the session is given for a Server text.
    static std::string HostOf(std::string_view server);

    // StatementRunner: the script runner's view of the connection.
    void ensureOpen() override { Open(); }
    void run(const std::string& sql) override;

  private:
    std::unique_ptr<TMySqlSession> m_session;
};

}  // namespace db
