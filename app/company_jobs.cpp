#include "app/company_jobs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "app/updater_queries.h"
#include "core/exception.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "db/script.h"

namespace app {

namespace {

// What workers tell the calling thread. Only `m_events` and `m_results` are shared, and only
// under `m_mutex`: a result is written before its Done event is queued and read after the
// event was taken, both under the lock.
class Board {
  public:
    enum class Kind { Started, Done };
    struct Event {
        Kind kind;
        std::size_t index;
    };
    struct Result {
        CompanyOutcome outcome;
        std::vector<std::string> lines;
    };

    explicit Board(std::size_t count) : m_results(count) {}

    void started(std::size_t index) { post({Kind::Started, index}); }
    void done(std::size_t index, Result result) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_results[index] = std::move(result);
            m_events.push_back({Kind::Done, index});
        }
        m_wake.notify_one();
    }

    // The events queued so far, waiting up to `wait` for the first.
    std::deque<Event> take(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, wait, [this] { return !m_events.empty(); });
        std::deque<Event> out;
        out.swap(m_events);
        return out;
    }
    Result result(std::size_t index) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::move(m_results[index]);
    }

  private:
    void post(Event e) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(e);
        }
        m_wake.notify_one();
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Event> m_events;
    std::vector<Result> m_results;
};

// One worker: a lane of its own, companies taken one at a time until none is left.
void work(const std::vector<CompanyWork>& work, std::atomic<std::size_t>& next,
          const LaneSettings& settings, Board& board) {
    db::TMyConnection connection("MyLibs");
    connection.Server = settings.server;
    connection.Port = settings.port;
    connection.Username = settings.username;
    connection.Password = settings.password;
    connection.Database = settings.database;
    connection.ConnectionTimeout = settings.connectionTimeout;
    db::TMyQuery versionQuery("qryVersione", &connection);
    versionQuery.SQL.SetText(kSqlVersione);
    db::TMyScript runner;
    runner.Connection = &connection;

    std::vector<std::string>* lines = nullptr;
    CompanyLane lane;
    lane.connection = &connection;
    lane.runner = &runner;
    lane.versionQuery = &versionQuery;
    lane.addLog = [&lines](std::string_view l) { lines->emplace_back(l); };
    lane.lockWaitSeconds = settings.lockWaitSeconds;
    runner.OnError = [&lane](db::TMyScript&, const std::exception& e, const std::string& sql,
                             db::TErrorAction& action) {
        OnUpdateScriptError(lane.addLog, e, sql, action);
    };

    for (std::size_t i = next++; i < work.size(); i = next++) {
        board.started(i);
        Board::Result result;
        result.outcome = work[i].outcome;
        lines = &result.lines;
        try {
            RunCompany(lane, work[i].job, result.outcome);
        } catch (const std::exception& e) {
            // RunCompany's steps catch their own failures; this is the last guard of a thread.
            result.outcome.state = CompanyState::Failed;
            result.outcome.reason = core::messageOf(e);
        }
        lines = nullptr;
        board.done(i, std::move(result));
    }
    connection.Close();
}

}  // namespace

void RunCompaniesInParallel(std::vector<CompanyWork>& work, const LaneSettings& settings,
                            int workers, const CompanyEvents& events) {
    if (work.empty()) return;
    Board board(work.size());
    std::atomic<std::size_t> next{0};
    const auto count =
        static_cast<std::size_t>(std::clamp(workers, 1, static_cast<int>(work.size())));
    // Joined however this function is left: a thread still running at its end would end the
    // program.
    struct Threads {
        std::vector<std::thread> list;
        ~Threads() {
            for (std::thread& t : list)
                if (t.joinable()) t.join();
        }
    } threads;
    threads.list.reserve(count);
    for (std::size_t t = 0; t < count; ++t)
        threads.list.emplace_back([&] { app::work(work, next, settings, board); });

    std::vector<bool> done(work.size(), false);
    std::size_t reported = 0;
    while (reported < work.size()) {
        for (const Board::Event& e : board.take(std::chrono::milliseconds(50))) {
            if (e.kind == Board::Kind::Started) {
                if (events.started) events.started(e.index);
            } else {
                done[e.index] = true;
            }
        }
        for (; reported < work.size() && done[reported]; ++reported) {
            Board::Result r = board.result(reported);
            work[reported].outcome = std::move(r.outcome);
            if (events.finished) events.finished(reported, work[reported].outcome, r.lines);
        }
        if (events.idle) events.idle();
    }
}

}  // namespace app
