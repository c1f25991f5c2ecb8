#include "app/run_report.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/exit_status.h"
#include "core/text.h"
#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/services.h"

namespace app {

namespace fs = std::filesystem;
using core::json::Value;

namespace {

// Seconds with millisecond precision, or null for a step the run did not reach.
Value seconds(double from, double to) {
    if (from < 0 || to < 0) return Value();
    return Value(static_cast<double>(std::llround((to - from) * 1000)) / 1000);
}

Value textOrNull(const std::string& s) {
    return s.empty() ? Value() : Value(s);
}

Value timesJson(const RunTimes& t) {
    Value v = Value::object();
    const double end = t.end;
    v.set("total", seconds(0, end));
    // The check lasts until the first later step (a rerun has no download).
    v.set("check", seconds(0, t.download >= 0 ? t.download : t.install >= 0 ? t.install : end));
    v.set("download", seconds(t.download, t.install >= 0 ? t.install : end));
    v.set("install", seconds(t.install, end));
    v.set("scripts", seconds(t.scripts, t.scriptsEnd));
    return v;
}

Value failureJson(const StatementFailure& f) {
    Value v = Value::object();
    v.set("statement", f.statement);
    v.set("line", f.line);
    v.set("errorNumber", f.errorNumber);
    v.set("sqlState", textOrNull(f.sqlState));
    v.set("message", f.message);
    return v;
}

Value scriptJson(const ScriptOutcome& s) {
    Value v = Value::object();
    v.set("name", s.name);
    v.set("kind", s.kind);
    v.set("textMd5", textOrNull(s.md5));
    v.set("statements", s.statements);
    v.set("executed", s.executed);
    v.set("launched", s.launched);
    v.set("failure", textOrNull(s.failure));
    if (!s.only.empty()) {
        Value only = Value::array();
        for (int n : s.only) only.push(n);
        v.set("only", std::move(only));
    }
    Value failed = Value::array();
    for (const StatementFailure& f : s.failed) failed.push(failureJson(f));
    v.set("failed", std::move(failed));
    v.set("result", s.finished() ? "ok" : s.launched ? "failed statements" : "not launched");
    return v;
}

Value companyJson(const CompanyOutcome& c) {
    Value v = Value::object();
    v.set("schema", c.schema);
    v.set("name", textOrNull(c.name));
    v.set("versionBefore", c.state == CompanyState::Skipped && c.versionBefore.empty()
                               ? Value()
                               : Value(c.versionBefore));
    v.set("versionAfter", c.versionAfterRead ? Value(c.versionAfter) : Value());
    v.set("serverTrigger", c.serverTrigger);
    v.set("clientTrigger", c.clientTrigger);
    v.set("result", toString(c.state));
    v.set("reason", textOrNull(c.reason));
    v.set("failedStatements", c.failedStatements);
    v.set("failedScripts", c.failedScripts);
    Value scripts = Value::array();
    for (const ScriptOutcome& s : c.scripts) scripts.push(scriptJson(s));
    v.set("scripts", std::move(scripts));
    return v;
}

Value filesJson(const RunOutcome& o) {
    Value v = Value::object();
    v.set("copied", o.filesCopied);
    int added = 0, replaced = 0;
    std::int64_t bytes = 0;
    Value list = Value::array();
    for (const host::MergeEntry& e : o.packageFiles) {
        (e.replaces ? replaced : added) += 1;
        bytes += e.bytes;
        Value f = Value::object();
        f.set("path", e.path);
        f.set("bytes", e.bytes);
        f.set("action", e.replaces ? "replace" : "add");
        list.push(std::move(f));
    }
    v.set("added", added);
    v.set("replaced", replaced);
    v.set("bytes", bytes);
    v.set("list", std::move(list));
    v.set("backup", textOrNull(o.backupFolder));
    return v;
}

Value serviceJson(std::string_view image) {
    Value v = Value::object();
    for (const host::ServiceEntry& e : host::ServiceTable) {
        if (e.imageName != image) continue;
        v.set("kind", e.kind == host::ServiceKind::Service ? "service" : "program");
        v.set("name", e.kind == host::ServiceKind::Service ? Value(e.serviceName) : Value());
    }
    v.set("image", image);
    return v;
}

Value servicesJson(const RunOutcome& o) {
    Value v = Value::object();
    Value stopped = Value::array();
    for (const std::string& s : o.stopped) stopped.push(serviceJson(s));
    Value restarted = Value::array();
    for (const std::string& s : o.restarted) restarted.push(serviceJson(s));
    v.set("stopped", std::move(stopped));
    v.set("restarted", std::move(restarted));
    return v;
}

// The oldest version among the companies the survey listed: what the installation was at.
Value oldVersionOf(const RunOutcome& o) {
    const std::string* oldest = nullptr;
    for (const CompanyOutcome& c : o.companies) {
        if (c.state == CompanyState::Skipped && c.versionBefore.empty()) continue;
        if (!oldest || core::VersionBefore(c.versionBefore, *oldest)) oldest = &c.versionBefore;
    }
    return oldest ? Value(*oldest) : Value();
}

}  // namespace

Value ReportJson(const ReportHeader& h, const RunOutcome& o) {
    Value v = Value::object();
    v.set("format", kReportFormat);
    v.set("formatVersion", kReportFormatVersion);
    v.set("runId", h.runId);
    v.set("kind", h.kind == RunKind::Update ? "update" : "only-failed");
    v.set("rerunOf", textOrNull(h.rerunOf));
    v.set("started", h.started);
    v.set("finished", h.finished);
    v.set("seconds", timesJson(o.times));
    v.set("installation", h.installation);
    v.set("oldVersion", oldVersionOf(o));
    v.set("newVersion", h.newVersion);
    v.set("verification", h.verified ? "verified" : "not verified");
    v.set("jobs", h.jobs);
    v.set("exitStatus", h.exitStatus);
    v.set("result", ExitStatusWord(h.exitStatus));
    v.set("runLog", textOrNull(h.runLog));
    v.set("scriptsApplied", o.scriptsApplied);
    v.set("surveyEnded", textOrNull(o.surveyEnded));
    v.set("recovery", textOrNull(o.recovery));
    Value companies = Value::array();
    for (const CompanyOutcome& c : o.companies) companies.push(companyJson(c));
    v.set("companies", std::move(companies));
    Value entries = Value::array();
    for (const std::string& e : o.failedEntries) entries.push(e);
    v.set("packageFailures", std::move(entries));
    v.set("files", filesJson(o));
    v.set("services", servicesJson(o));
    return v;
}

std::string ReportFileFor(const std::string& runLogFile) {
    const std::string ext = ".uplog";
    if (runLogFile.size() >= ext.size() && runLogFile.ends_with(ext))
        return runLogFile.substr(0, runLogFile.size() - ext.size()) + ".json";
    return runLogFile + ".json";
}

std::string FreeRunFileBase(const std::string& installPath, const std::string& stem) {
    for (int n = 1; n < 1000; ++n) {
        const std::string base =
            host::JoinUnder(installPath, n == 1 ? stem : stem + "-" + std::to_string(n));
        if (base.empty()) return base;
        std::error_code ec;
        if (!fs::exists(host::fsPath(base + ".uplog"), ec) &&
            !fs::exists(host::fsPath(base + ".json"), ec))
            return base;
    }
    return {};
}

bool WriteTextFileWhole(const std::string& file, const std::string& text) {
    const std::string temp = file + ".part";
    std::error_code ec;
    if (!host::writeWholeFile(temp, text)) {
        fs::remove(host::fsPath(temp), ec);
        return false;
    }
    fs::rename(host::fsPath(temp), host::fsPath(file), ec);
    if (ec) fs::remove(host::fsPath(temp), ec);
    return !ec;
}

namespace {

// UTC fields of a system-clock time, by the civil calendar of <chrono>.
struct UtcParts {
    int year;
    unsigned month, day;
    long long hour, minute, second, millis;
};

UtcParts utcNow() {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day ymd{day};
    const auto ms = (now - day).count();
    return {static_cast<int>(ymd.year()),
            static_cast<unsigned>(ymd.month()),
            static_cast<unsigned>(ymd.day()),
            ms / 3600000,
            ms / 60000 % 60,
            ms / 1000 % 60,
            ms % 1000};
}

}  // namespace

std::string UtcNowText() {
    const UtcParts t = utcNow();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millis);
    return buf;
}

std::string NewRunId() {
    const UtcParts t = utcNow();
    std::random_device random;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02u%02uT%02lld%02lld%02lldZ-%08x", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, static_cast<unsigned>(random()));
    return buf;
}

// ---- Reading ---------------------------------------------------------------------------

namespace {

// Bounds on what a report may hold; a report beyond them was not written by a run.
constexpr std::size_t kMaxCompanies = 1000000;
constexpr std::size_t kMaxScripts = 100000;
constexpr std::int64_t kMaxStatement = 100000000;
constexpr std::size_t kMaxNameBytes = 255;

class ReportReader {
  public:
    core::Result<PastRun, std::string> read(const Value& root) {
        if (!root.isObject()) return core::fail(std::string("not a JSON object"));
        if (root["format"].asString() != kReportFormat)
            return core::fail(std::string("not a qlupdate run report"));
        const std::int64_t version = root["formatVersion"].asInt(-1);
        if (version != kReportFormatVersion)
            return core::fail("report format version " + std::to_string(version) +
                              " (this qlupdate reads " + std::to_string(kReportFormatVersion) +
                              ")");
        PastRun run;
        run.runId = text(root, "runId");
        run.kind = text(root, "kind");
        run.finished = text(root, "finished");
        run.newVersion = root["newVersion"].asString();
        run.scriptsApplied = root["scriptsApplied"].asBool();
        if (run.kind != "update" && run.kind != "only-failed") bad("kind");
        const Value& companies = root["companies"];
        if (!companies.isArray() || companies.items().size() > kMaxCompanies) bad("companies");
        for (const Value& c : companies.items()) {
            if (!m_error.empty()) break;
            run.companies.push_back(company(c));
        }
        if (!m_error.empty()) return core::fail(m_error);
        return run;
    }

  private:
    void bad(const std::string& what) {
        if (m_error.empty()) m_error = "bad field \"" + what + "\"";
    }
    std::string text(const Value& v, std::string_view key, std::size_t limit = 4096) {
        const Value& f = v[key];
        if (!f.isString() || f.asString().size() > limit) bad(std::string(key));
        return f.asString();
    }

    PastCompany company(const Value& c) {
        PastCompany out;
        if (!c.isObject()) {
            bad("companies");
            return out;
        }
        out.schema = text(c, "schema", kMaxNameBytes);
        out.result = text(c, "result", 32);
        const Value& scripts = c["scripts"];
        if (!scripts.isArray() || scripts.items().size() > kMaxScripts) bad("scripts");
        for (const Value& s : scripts.items()) out.scripts.push_back(script(s));
        return out;
    }

    PastScript script(const Value& s) {
        PastScript out;
        if (!s.isObject()) {
            bad("scripts");
            return out;
        }
        out.name = text(s, "name", kMaxNameBytes);
        out.md5 = s["textMd5"].asString();
        out.launched = s["launched"].asBool();
        for (const Value& f : s["failed"].items()) {
            const std::int64_t n = f["statement"].asInt(0);
            if (n < 1 || n > kMaxStatement) {
                bad("statement");
                break;
            }
            out.failedStatements.push_back(static_cast<int>(n));
        }
        std::sort(out.failedStatements.begin(), out.failedStatements.end());
        out.failedStatements.erase(
            std::unique(out.failedStatements.begin(), out.failedStatements.end()),
            out.failedStatements.end());
        return out;
    }

    std::string m_error;
};

}  // namespace

core::Result<PastRun, std::string> ReadReport(std::string_view text) {
    auto root = core::json::parse(text);
    if (!root) return core::fail(root.error().text());
    return ReportReader().read(*root);
}

std::optional<PastRun> FindLastReport(const std::string& installPath, std::string& why) {
    std::optional<PastRun> best;
    std::size_t seen = 0;
    std::error_code ec;
    for (fs::directory_iterator it(host::fsPath(installPath), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code fe;
        if (it->path().extension() != ".json" || !it->is_regular_file(fe)) continue;
        const auto size = it->file_size(fe);
        if (fe || size > kMaxReportBytes) continue;
        const auto bytes = host::readWholeFile(host::pathText(it->path()), kMaxReportBytes + 1);
        if (!bytes || bytes->size() > kMaxReportBytes) continue;
        auto run = ReadReport(*bytes);
        if (!run) continue;
        ++seen;
        if (!run->scriptsApplied) continue;
        run->file = host::pathText(it->path());
        const bool newer = !best || run->finished > best->finished ||
                           (run->finished == best->finished && run->file > best->file);
        if (newer) best = std::move(*run);
    }
    if (!best)
        why = seen == 0 ? "nessun rapporto di esecuzione in " + installPath
                        : "nessun rapporto di un'esecuzione che abbia applicato gli script in " +
                              installPath;
    return best;
}

}  // namespace app
