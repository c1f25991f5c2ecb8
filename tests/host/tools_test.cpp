#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text.h"
#include "host/platform/process.h"
#include "tests/host/product_processes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

using Lines = std::vector<std::string>;

class QltoolServices : public servicetest::ProductTest {};

TEST_F(QltoolServices, PrintsTheEightEntriesInTableOrderWithTheirState) {
    procs.start("OsReceiveSrv.exe");
    procs.start("qlmain.exe");
    const std::string out = procs.shellOutput(testsupport::qltoolPath() + " services");
    EXPECT_EQ(core::splitLines(out),
              (Lines{"1 service OsReplicatorSrv.exe stopped", "2 service OsReceiveSrv.exe running",
                     "3 service OsTerminatorSrv.exe stopped", "4 service OsDispatchSrv.exe stopped",
                     "5 service OsBalancerSrv.exe stopped", "6 service OsListeningSrv.exe stopped",
                     "7 program QLMain.exe running", "8 program CounterSale.exe stopped"}));
}

// tools/net-systemd run against a fake systemctl that records its arguments and fails for
// the unit "Broken.service" with 5, as systemctl does for a unit it cannot load.
TEST(NetSystemd, MapsStopAndStartToSystemctlAndPassesItsExitCodeOn) {
    servicetest::ProductProcesses procs;  // its tools folder is first on PATH
    const std::string calls = procs.dir().str() + "systemctl.log";
    procs.dir().write("tools/systemctl", "#!/bin/sh\necho \"$*\" >> " + calls +
                                             "\n[ \"$3\" = Broken.service ] && exit 5\nexit 0\n");
    std::filesystem::permissions(procs.dir().path() / "tools/systemctl",
                                 std::filesystem::perms::owner_all);
    const std::string net = testsupport::sourceDir() + "/tools/net-systemd";
    struct Case {
        const char* args;
        int exit;
        const char* call;  // what systemctl received; "" when it must not run
    };
    const std::vector<Case> cases = {
        {"stop OsReceiver", 0, "stop -- OsReceiver.service"},
        {"start OsDispatcher", 0, "start -- OsDispatcher.service"},
        {"stop Broken", 5, "stop -- Broken.service"},
        {"restart OsReceiver", 64, ""},
        {"stop", 64, ""},
        {"stop OsReceiver extra", 64, ""},
        {"stop --all", 64, ""},
        {"start ../etc/unit", 64, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(calls);
        EXPECT_EQ(host::RunAndWait(net + " " + c.args), c.exit) << c.args;
        const std::string seen = std::filesystem::exists(calls) ? testsupport::readFile(calls) : "";
        EXPECT_EQ(seen, *c.call ? std::string(c.call) + "\n" : "") << c.args;
    }
}

}  // namespace
