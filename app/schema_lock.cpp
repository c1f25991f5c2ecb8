#include "app/schema_lock.h"

#include "app/updater_queries.h"
#include "core/md5.h"
#include "db/my_connection.h"
#include "db/my_query.h"

namespace app {

std::string SchemaLockName(std::string_view schema) {
    return "qlupdate:" + core::Md5Hex(schema);
}

SchemaLock::~SchemaLock() {
    if (!m_held || !m_connection.Connected()) return;
    try {
        db::TMyQuery q("qrySchemaLock", &m_connection);
        q.SQL.SetText("SELECT RELEASE_LOCK('" + m_name + "')");
        q.Open();
    } catch (const std::exception&) {
        // A session that cannot say it any more has lost the lock with itself.
    }
}

std::optional<int> SchemaLock::tryLock(int seconds) {
    db::TMyQuery q("qrySchemaLock", &m_connection);
    q.SQL.SetText("SELECT GET_LOCK('" + m_name + "', " + std::to_string(seconds) + ")");
    q.Open();
    if (q.IsEmpty() || q.FieldCount() != 1 || q.Fields(0).IsNull()) return std::nullopt;
    return q.Fields(0).AsString() == "1" ? 1 : 0;
}

SchemaLockResult SchemaLock::acquire(std::string_view schema, int waitSeconds,
                                     const std::function<void()>& onWait,
                                     const std::function<void()>& pump, std::string& error) {
    m_name = SchemaLockName(schema);
    error.clear();
    try {
        std::optional<int> got = tryLock(0);
        for (int waited = 0; got == 0 && waited < waitSeconds; ++waited) {
            if (waited == 0 && onWait) onWait();
            if (pump) pump();
            got = tryLock(1);
        }
        if (!got) {
            error = "GET_LOCK gave NULL";
            return SchemaLockResult::Unavailable;
        }
        m_held = *got == 1;
        return m_held ? SchemaLockResult::Acquired : SchemaLockResult::TimedOut;
    } catch (const std::exception& e) {
        error = e.what();
        return SchemaLockResult::Unavailable;
    }
}

std::optional<std::string> ReadCompanyVid(db::TMyConnection& connection,
                                          const std::string& schema) {
    try {
        db::TMyQuery q("qryVersioneNow", &connection);
        q.SQL.SetText(kSqlVersione);
        q.MacroByName("database").Value = schema + "._versione";
        q.Open();
        if (q.IsEmpty()) return std::nullopt;
        return q.FieldByName("VID").AsString();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace app
