// qlupdate: the updater's program entry. With a display and the window built in (Qt, or the
// Win32 window on Windows) it opens the window; otherwise, or with --console, it runs the same
// session on the terminal.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/console_run.h"
#include "app/exit_status.h"
#include "app/options.h"
#include "app/version.h"
#include "host/platform/desktop.h"
#include "host/platform/this_process.h"

#if defined(QL_HAVE_UI)
#include "ui/run_window.h"
#endif
#if defined(QL_HAVE_WIN32_UI)
#include "ui/win32/run_window.h"
#endif

namespace {

void printHelp() {
    std::printf(
        "Usage: qlupdate [OPTIONS]\n"
        "%s: brings a Quillora installation and its company databases up to the latest version.\n"
        "\n"
        "Options:\n"
        "  --console          run on the terminal (the default without a display or window)\n"
        "  --yes              answer \"Avanti\" and the final question with OK\n"
        "  --install-path DIR the installation folder, as if chosen in the folder chooser\n"
        "  --server URL       the update server (default http://update.quillora.it)\n"
        "  --temp-root DIR    base of the temporary folder (default /)\n"
        "  --mysql-port N     the MySQL server's port (default 3306)\n"
        "  --plan             download and unpack the package, then show what the update would\n"
        "                     do (companies and their scripts, files, services) without doing it\n"
        "  --json             with --plan: the plan as JSON on standard output\n"
        "  --only-failed      run again the scripts of the companies the last run report left\n"
        "                     unfinished (no download, no copy, no service stopped)\n"
        "  --quiet            print only the closing summary\n"
        "  --jobs N           update up to N companies at once, each on its own connection\n"
        "                     (1-64, default 1)\n"
        "  --idle-timeout S   console: give up a download attempt after S seconds without a\n"
        "                     byte (default 300; 0 waits for ever, as the window does)\n"
        "  --download-attempts N  requests of the package that may fail on the connection\n"
        "                     before phase 2 gives up (default 5; the pauses between them\n"
        "                     start at 1 s and double)\n"
        "  --lock-wait S      wait up to S seconds for another updater running a company's\n"
        "                     scripts on the same database server (default 300)\n"
        "  --rollback         put back the files of the version the last update replaced\n"
        "                     (the product is stopped and started again; database scripts\n"
        "                     already run are not undone), then exit\n"
        "  --help             show this text and exit\n"
        "  --version          show the version and exit\n"
        "\n"
        "Exit status (console mode):\n"
        "  0  the update is complete: every listed company got every script it needed and\n"
        "     every statement was executed\n"
        "  1  the update is complete but not for every company (failed statements, scripts\n"
        "     that could not be launched, companies skipped; see the summary and the run log)\n"
        "  2  phase 1 failed (installation folder, configuration or version check)\n"
        "  3  phase 2 failed (download or extraction of the package)\n"
        "  4  phase 3 failed (copy, scripts' run or saving the run log)\n"
        "  5  \"Avanti\" was declined\n"
        "  6  another qlupdate is updating this installation (the text says which process)\n"
        "  7  --rollback: no backup to put back\n"
        "  8  --rollback: the files could not be put back (the next start tries again)\n"
        "  With --plan: 0 the plan was made, 2 and 3 as above.\n"
        "  With --only-failed: 0 every company rerun is complete (or none was left), 1 not\n"
        "  every one, 2 no installation or no run report to rerun, 4 the run log could not\n"
        "  be saved.\n"
        " 64  wrong options\n",
        app::kProductName);
}

// 0 to 86400 seconds.
std::optional<int> parseSeconds(const char* text) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > 86400) return std::nullopt;
    return static_cast<int>(v);
}

bool parseOptions(int argc, char** argv, app::UpdaterOptions& o, int& exitNow) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--help" || a == "-h") {
            printHelp();
            exitNow = 0;
            return false;
        }
        if (a == "--version") {
            std::printf("qlupdate %s\n", app::kVersion);
            exitNow = 0;
            return false;
        }
        if (a == "--console") {
            o.console = true;
        } else if (a == "--rollback") {
            o.rollback = true;
        } else if (a == "--plan") {
            o.plan = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--only-failed") {
            o.onlyFailed = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a == "--download-attempts") {
            const char* v = value();
            const std::optional<int> n = v ? parseSeconds(v) : std::nullopt;
            if (!n || *n < 1) {
                std::fprintf(stderr,
                             "qlupdate: --download-attempts needs a number from 1 (try --help)\n");
                exitNow = app::kExitUsage;
                return false;
            }
            o.downloadAttempts = n;
        } else if (a == "--idle-timeout" || a == "--lock-wait") {
            const char* v = value();
            const std::optional<int> seconds = v ? parseSeconds(v) : std::nullopt;
            if (!seconds) {
                std::fprintf(stderr, "qlupdate: %s needs a number of seconds (try --help)\n",
                             a.data());
                exitNow = app::kExitUsage;
                return false;
            }
            (a == "--idle-timeout" ? o.idleTimeoutSeconds : o.lockWaitSeconds) = seconds;
        } else if (a == "--install-path" || a == "--server" || a == "--temp-root" ||
                   a == "--mysql-port" || a == "--jobs") {
            const char* v = value();
            if (!v || !*v) {
                std::fprintf(stderr, "qlupdate: %s needs a value (try --help)\n", argv[i]);
                exitNow = app::kExitUsage;
                return false;
            }
            if (a == "--install-path") o.installPath = v;
            if (a == "--server") o.serverUrl = v;
            if (a == "--temp-root") o.tempRoot = v;
            if (a == "--jobs") {
                char* end = nullptr;
                const long jobs = std::strtol(v, &end, 10);
                if (*end != '\0' || jobs < 1 || jobs > app::kMaxJobs) {
                    std::fprintf(stderr, "qlupdate: bad number of jobs '%s' (1-%d)\n", v,
                                 app::kMaxJobs);
                    exitNow = app::kExitUsage;
                    return false;
                }
                o.jobs = static_cast<int>(jobs);
            }
            if (a == "--mysql-port") {
                char* end = nullptr;
                const long port = std::strtol(v, &end, 10);
                if (*end != '\0' || port <= 0 || port > 65535) {
                    std::fprintf(stderr, "qlupdate: bad port '%s'\n", v);
                    exitNow = app::kExitUsage;
                    return false;
                }
                o.mysqlPort = static_cast<int>(port);
            }
        } else {
            std::fprintf(stderr, "qlupdate: unknown option '%s' (try --help)\n", argv[i]);
            exitNow = app::kExitUsage;
            return false;
        }
    }
    if (o.plan && o.onlyFailed) {
        std::fprintf(stderr, "qlupdate: --plan and --only-failed do not go together\n");
        exitNow = app::kExitUsage;
        return false;
    }
    if (o.rollback && (o.plan || o.onlyFailed)) {
        std::fprintf(stderr, "qlupdate: --rollback goes alone, without --plan or --only-failed\n");
        exitNow = app::kExitUsage;
        return false;
    }
    if (o.json && !o.plan) {
        std::fprintf(stderr, "qlupdate: --json goes with --plan\n");
        exitNow = app::kExitUsage;
        return false;
    }
    // The plan, the rerun and the rollback are console runs.
    if (o.plan || o.onlyFailed || o.rollback) o.console = true;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments in UTF-8 on every system (folder names with accents).
    std::vector<std::string> args = host::programArguments(argc, argv);
    std::vector<char*> utf8;
    for (std::string& a : args) utf8.push_back(a.data());
    utf8.push_back(nullptr);
    argv = utf8.data();
    app::UpdaterOptions options;
    int exitNow = 0;
    if (!parseOptions(argc, argv, options, exitNow)) return exitNow;
    // The fault-injection hook of the staged install's tests.
    if (const char* n = std::getenv("QLUPDATE_FAULT_AFTER_FILE_OPS"); n && *n)
        options.faultAfterFileOps = std::strtol(n, nullptr, 10);
    // The download tests' short pause between attempts.
    if (const char* n = std::getenv("QLUPDATE_RETRY_PAUSE_MS"); n && *n)
        options.retryPauseMs = static_cast<int>(std::strtol(n, nullptr, 10));
#if defined(QL_HAVE_UI)
    if (!options.console && host::haveDesktop()) return ui::runWindow(argc, argv, options);
#endif
#if defined(QL_HAVE_WIN32_UI)
    if (!options.console && host::haveDesktop()) return ui::win32::runWindow(options);
#endif
    return app::RunConsole(options);
}
