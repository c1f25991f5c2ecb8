// SchemaLock: a company's scripts run under a named lock on the MySQL server (GET_LOCK), so
// that two updaters sharing one server (two machines, or a second run) never run the same
// company's scripts at once; different schemas never block each other.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace db {
class TMyConnection;
}

namespace app {

// "qlupdate:" + the lower-case MD5 hex of the schema's exact bytes: at most 64 characters
// whatever the schema (MySQL's limit for lock names), and distinct for schemas that differ
// only in letter case (the server compares lock names without regard to case).
std::string SchemaLockName(std::string_view schema);

enum class SchemaLockResult {
    Acquired,
    TimedOut,     // another session held it for the whole wait
    Unavailable,  // the server refused GET_LOCK (an error or NULL); see the error text
};

class SchemaLock {
  public:
    explicit SchemaLock(db::TMyConnection& connection) : m_connection(connection) {}
    // Releases the lock when it was acquired and the session is still open (a closed session
    // has released it already).
    ~SchemaLock();
    SchemaLock(const SchemaLock&) = delete;
    SchemaLock& operator=(const SchemaLock&) = delete;

    // Tries at once, then (after `onWait`, called once) once a second for up to `waitSeconds`,
    // calling `pump` between tries so that a window stays alive.
    SchemaLockResult acquire(std::string_view schema, int waitSeconds,
                             const std::function<void()>& onWait, const std::function<void()>& pump,
                             std::string& error);

  private:
    // GET_LOCK's answer: 1, 0, or nullopt for NULL.
    std::optional<int> tryLock(int seconds);

    db::TMyConnection& m_connection;
    std::string m_name;
    bool m_held = false;
};

// The company's version identifier as its schema says now (`_versione`.`VID`); nullopt when it
// cannot be read.
std::optional<std::string> ReadCompanyVid(db::TMyConnection& connection, const std::string& schema);

}  // namespace app
