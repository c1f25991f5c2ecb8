// The run report: after every run a JSON file beside the run log (same name, ".json") that says
// what happened, for the operator's tools; and the reading of it back for --only-failed. The
// form is documented in docs/operator.md and kept stable: fields are only ever added, and a
// change of meaning raises "formatVersion".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_outcome.h"
#include "core/json.h"

namespace app {

inline constexpr const char* kReportFormat = "qlupdate-report";
inline constexpr int kReportFormatVersion = 1;
// A report bigger than this is not one of ours (a run of 10,000 companies with 100 scripts
// each stays far below it).
inline constexpr std::size_t kMaxReportBytes = 64u << 20;

enum class RunKind { Update, OnlyFailed };

// What the report says about the run besides the outcome.
struct ReportHeader {
    RunKind kind = RunKind::Update;
    std::string runId;
    std::string started;   // UTC, "2026-12-09T23:30:00.123Z"
    std::string finished;  // UTC
    std::string installation;
    std::string newVersion;
    bool verified = false;
    int jobs = 1;
    int exitStatus = 0;
    std::string runLog;   // the run log's file; "" when none was saved
    std::string rerunOf;  // --only-failed: the run id of the report it reran
};

core::json::Value ReportJson(const ReportHeader& header, const RunOutcome& outcome);

// The report's file for a run log file: its name with ".json" in place of ".uplog".
std::string ReportFileFor(const std::string& runLogFile);
// A run's files in the installation folder that overwrite no earlier run's: the folder joined
// with `stem`, or with `stem` and "-2", "-3"... when a run log or a report of that name is
// there already (run logs are named to the minute). "" when `stem` is not a plain name.
std::string FreeRunFileBase(const std::string& installPath, const std::string& stem);
// Writes the text to a new file beside `file` and renames it over `file`, so a reader never
// sees half a report; false when it could not be written.
bool WriteTextFileWhole(const std::string& file, const std::string& text);

// UTC now as the report writes times, and a run id ("20261209T233000Z-1a2b3c4d").
std::string UtcNowText();
std::string NewRunId();

// A past run as --only-failed needs it.
struct PastScript {
    std::string name;
    std::string md5;
    bool launched = false;
    std::vector<int> failedStatements;  // ascending, each from 1
};
struct PastCompany {
    std::string schema;
    std::string result;  // the report's word for its state
    std::vector<PastScript> scripts;
    bool finished() const { return result == "updated" || result == "duplicate"; }
};
struct PastRun {
    std::string file;
    std::string runId;
    std::string kind;  // "update" or "only-failed"
    std::string finished;
    std::string newVersion;
    bool scriptsApplied = false;
    std::vector<PastCompany> companies;
};

// Reads a report's text; the error says what is wrong with it.
core::Result<PastRun, std::string> ReadReport(std::string_view text);

// The newest report in the installation folder of a run whose scripts ran (a run that ended
// before them changed no company). nullopt with `why` when there is none.
std::optional<PastRun> FindLastReport(const std::string& installPath, std::string& why);

}  // namespace app
