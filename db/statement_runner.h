// StatementRunner: what the script runner needs of a connection: open it when closed, and
// send one statement as a text query, reading and dropping any rows, throwing on failure.
#pragma once

#include <string>

namespace db {

class StatementRunner {
  public:
    virtual ~StatementRunner() = default;
    // Opens the connection when it is closed; it stays open afterwards.
    virtual void ensureOpen() = 0;
    // Sends `sql` as one text query; rows and further results are read and thrown away.
    // Server errors are thrown as EMyError.
    virtual void run(const std::string& sql) = 0;
};

}  // namespace db
