#include "app/updater_factory.h"

#include "app/updater_queries.h"
#include "archive/unzipper.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "db/script.h"
#include "net/id_http.h"
#include "net/update_server.h"

namespace app {

std::unique_ptr<TfrmAutoUpdate> createUpdater(View& view, const UpdaterOptions& options) {
    host::HostSettings host;
    host.tempRoot = options.tempRoot;
    auto s = std::make_unique<TfrmAutoUpdate>(view, host);
    TfrmAutoUpdate* self = s.get();
    s->StartInstallPath = options.installPath;
    s->Jobs = options.jobs;
    s->PlanOnly = options.plan;
    s->Safety.faultAfterFileOps = options.faultAfterFileOps;
    // An unattended console run never waits for ever on a silent server; the window keeps
    // waiting as long as it takes.
    s->Safety.idleTimeoutSeconds =
        options.console ? options.idleTimeoutSeconds.value_or(kConsoleIdleTimeoutSeconds) : 0;
    if (options.downloadAttempts) s->Safety.downloadAttempts = *options.downloadAttempts;
    if (options.retryPauseMs && *options.retryPauseMs >= 0)
        s->Safety.firstRetryPause = std::chrono::milliseconds(*options.retryPauseMs);
    if (options.lockWaitSeconds) s->Safety.schemaLockWaitSeconds = *options.lockWaitSeconds;

    s->IdDownHTTP = std::make_unique<net::TIdHTTP>();
    net::applyUpdaterSettings(*s->IdDownHTTP);
    if (s->Safety.idleTimeoutSeconds > 0)
        s->IdDownHTTP->ReadTimeout = s->Safety.idleTimeoutSeconds * 1000;
    s->IdDownHTTP->OnWorkBegin = [self](net::TIdHTTP&, net::TWorkMode, std::int64_t max) {
        self->IdDownHTTPWorkBegin(max);
    };
    s->IdDownHTTP->OnWork = [self](net::TIdHTTP&, net::TWorkMode, std::int64_t count) {
        self->IdDownHTTPWork(count);
    };
    s->UpdateServer = options.serverUrl ? std::make_unique<net::UpdateServer>(*options.serverUrl)
                                        : std::make_unique<net::UpdateServer>();

    s->MyLibs = std::make_unique<db::TMyConnection>("MyLibs");
    if (options.mysqlPort) s->MyLibs->Port = static_cast<unsigned>(*options.mysqlPort);
    s->MyLibs->BeforeConnect = [self](db::TMyConnection& c) { self->MyLibsBeforeConnect(c); };
    const auto query = [&s](const char* name, const char* sql) {
        auto q = std::make_unique<db::TMyQuery>(name, s->MyLibs.get());
        q->SQL.SetText(sql);
        return q;
    };
    s->qryDitte = query("qryDitte", kSqlDitte);
    s->qryVersione = query("qryVersione", kSqlVersione);
    s->qryTriggersServer = query("qryTriggersServer", kSqlTriggersServer);
    s->qryTriggersClient = query("qryTriggersClient", kSqlTriggersClient);

    s->UnZipper = std::make_unique<archive::TAbUnZipper>();
    s->dbScriptUpdater = std::make_unique<db::TMyScript>();
    s->dbScriptUpdater->Connection = s->MyLibs.get();
    s->dbScriptUpdater->AfterExecute = [self](db::TMyScript&, const std::string& sql) {
        self->dbScriptUpdaterAfterExecute(sql);
    };
    s->dbScriptUpdater->OnError = [self](db::TMyScript&, const std::exception& e,
                                         const std::string& sql, db::TErrorAction& action) {
        self->dbScriptUpdaterError(e, sql, action);
    };
    return s;
}

}  // namespace app
