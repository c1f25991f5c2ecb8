// Companies side by side (--jobs N): up to N worker threads, each with a lane of its own (its own
// connection, runner and version query), take the companies in table order. Workers never touch
// the view or the session: each company's log lines are kept with its outcome and handed back
// to the calling thread, which reports starts as they happen and results in table order, so the
// run log keeps each company's lines together and the companies in their order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/company_run.h"

namespace app {

// What a worker's connection opens with: the settings the session's connection gets from its
// before-connect handler, copied on the calling thread.
struct LaneSettings {
    std::string server;
    unsigned port = 3306;
    std::string username;
    std::string password;
    std::string database;
    int connectionTimeout = 15;
    int lockWaitSeconds = 0;  // for a company's lock on the server
};

struct CompanyWork {
    CompanyJob job;
    CompanyOutcome outcome;  // filled in by the run; comes back through `finished`
};

struct CompanyEvents {
    // A worker took work number `index` (any order).
    std::function<void(std::size_t index)> started;
    // Work number `index` is done, in index order, with the lines its company logged (oldest
    // first).
    std::function<void(std::size_t index, CompanyOutcome& outcome, std::vector<std::string>& lines)>
        finished;
    // Called on the calling thread while it waits (the view's pending messages).
    std::function<void()> idle;
};

// Runs every work on up to `workers` threads (at least one) and returns when all are done and
// every worker has closed its connection. The events run on the calling thread only.
void RunCompaniesInParallel(std::vector<CompanyWork>& work, const LaneSettings& settings,
                            int workers, const CompanyEvents& events);

}  // namespace app
