#include "host/services.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/host/product_processes.h"

namespace {

using servicetest::ChildProcess;
using Lines = std::vector<std::string>;

// A stop or restart run against the fake "net", with pauses that take no time but are counted.
class ServicesTest : public servicetest::ProductTest {
  protected:
    host::ServiceLog addLog() {
        return [this](const std::string& line) { log.push_back(line); };
    }
    host::TickSource ticks() {
        return {[this] { return now; },
                [this](std::uint32_t ms) {
                    now += ms;
                    pausedMs += ms;
                }};
    }
    bool stop() { return host::StopServices(addLog(), running, ticks()); }
    void restart() { host::RestartServices(addLog(), running, ticks()); }
    void expectKilled(ChildProcess& child, const char* what) {
        const servicetest::ChildEnd end = child.wait();
        EXPECT_TRUE(end.signaled && end.code == SIGKILL) << what;
    }

    Lines log;
    host::RunningSnapshot running{};
    std::uint32_t now = 0xFFFFF000u;  // close to the wrap, as a long-running machine may be
    std::uint64_t pausedMs = 0;
};

TEST_F(ServicesTest, NothingRunningLogsTheTwoHeadingsOnly) {
    running.fill(true);  // a stale snapshot must be overwritten
    EXPECT_TRUE(stop());
    EXPECT_EQ(running, host::RunningSnapshot{});
    restart();
    EXPECT_EQ(log, (Lines{"Stop QL Services", "Restart QL Services"}));
    EXPECT_EQ(procs.netCalls(), Lines{});
    EXPECT_EQ(pausedMs, 0u);
}

TEST_F(ServicesTest, OneServiceIsStoppedOnceAndStartedAgain) {
    ChildProcess& receiver = procs.startService(1);
    EXPECT_TRUE(stop());
    EXPECT_EQ(running,
              (host::RunningSnapshot{false, true, false, false, false, false, false, false}));
    EXPECT_EQ(procs.netCalls(), Lines{"stop OsReceiver"});
    EXPECT_EQ(pausedMs, 1000u);
    EXPECT_FALSE(host::IsProcessRunning("OsReceiveSrv.exe"));
    expectKilled(receiver, "the receiver");

    restart();
    EXPECT_EQ(log, (Lines{"Stop QL Services", "Stop Receiver...", "Restart QL Services",
                          "Restart Receiver..."}));
    EXPECT_EQ(procs.netCalls(), (Lines{"stop OsReceiver", "start OsReceiver"}));
    EXPECT_EQ(pausedMs, 2000u);
    EXPECT_TRUE(host::IsProcessRunning("OsReceiveSrv.exe"));
}

TEST_F(ServicesTest, AServiceRunningAgainIsNotStartedTwice) {
    procs.startService(1);
    stop();
    procs.start("OsReceiveSrv.exe");  // came back before the restart
    restart();
    EXPECT_EQ(log, (Lines{"Stop QL Services", "Stop Receiver...", "Restart QL Services"}));
    EXPECT_EQ(procs.netCalls(), Lines{"stop OsReceiver"});
    EXPECT_EQ(pausedMs, 1000u);
}

TEST_F(ServicesTest, EverythingRunningIsStoppedAndRestartedInTableOrder) {
    // Started in reverse so that table order cannot come from process ids.
    std::vector<ChildProcess*> children(host::ServiceTable.size());
    for (std::size_t i = host::ServiceTable.size(); i-- > 0;)
        children[i] = host::ServiceTable[i].kind == host::ServiceKind::Service
                          ? &procs.startService(i)
                          : &procs.start(host::ServiceTable[i].imageName);
    EXPECT_TRUE(stop());
    EXPECT_EQ(running, (host::RunningSnapshot{true, true, true, true, true, true, true, true}));
    EXPECT_EQ(pausedMs, 8000u);
    for (ChildProcess* child : children) expectKilled(*child, "a product process");
    for (const host::ServiceEntry& e : host::ServiceTable)
        EXPECT_FALSE(host::IsProcessRunning(e.imageName)) << e.imageName;

    restart();
    EXPECT_EQ(
        log, (Lines{"Stop QL Services", "Stop Replicator...", "Stop Receiver...",
                    "Stop Terminator...", "Stop Dispatcher...", "Stop Balancer...",
                    "Stop Listening...", "Stop QLMain...", "Stop QLSales...", "Restart QL Services",
                    "Restart Replicator...", "Restart Receiver...", "Restart Terminator...",
                    "Restart Dispatcher...", "Restart Balancer..."}));
    EXPECT_EQ(procs.netCalls(),
              (Lines{"stop OsReplicator", "stop OsReceiver", "stop OsTerminator",
                     "stop OsDispatcher", "stop OsBalancer", "stop OsListening",
                     "start OsReplicator", "start OsReceiver", "start OsTerminator",
                     "start OsDispatcher", "start OsBalancer", "start OsListening"}));
    EXPECT_EQ(pausedMs, 14000u);
    for (std::size_t i = 0; i < host::ServiceTable.size(); ++i)
        EXPECT_EQ(host::IsProcessRunning(host::ServiceTable[i].imageName),
                  host::ServiceTable[i].kind == host::ServiceKind::Service)
            << host::ServiceTable[i].imageName;
}

TEST_F(ServicesTest, TheListeningServiceIsRestartedWithoutALogLine) {
    procs.startService(5);
    stop();
    restart();
    EXPECT_EQ(log, (Lines{"Stop QL Services", "Stop Listening...", "Restart QL Services"}));
    EXPECT_EQ(procs.netCalls(), (Lines{"stop OsListening", "start OsListening"}));
    EXPECT_EQ(pausedMs, 2000u);
}

TEST_F(ServicesTest, ProgramsAreTerminatedAndNeverStartedAgain) {
    // Lower-case file names count as the table's programs.
    ChildProcess& main = procs.start("qlmain.exe");
    ChildProcess& sales = procs.start("countersale.exe");
    stop();
    EXPECT_EQ(running,
              (host::RunningSnapshot{false, false, false, false, false, false, true, true}));
    expectKilled(main, "qlmain.exe");
    expectKilled(sales, "countersale.exe");
    restart();
    EXPECT_EQ(log, (Lines{"Stop QL Services", "Stop QLMain...", "Stop QLSales...",
                          "Restart QL Services"}));
    EXPECT_EQ(procs.netCalls(), Lines{});
    EXPECT_EQ(pausedMs, 2000u);
    EXPECT_FALSE(host::IsProcessRunning("QLMain.exe"));
    EXPECT_FALSE(host::IsProcessRunning("CounterSale.exe"));
}

TEST_F(ServicesTest, OnlyTheProgramOfTheExactImageNameIsTerminated) {
    // Started first, so (unless the ids wrapped) it is listed before QLMain.exe.
    ChildProcess& other = procs.start("OldQLMain.exe");
    ChildProcess& main = procs.start("QLMain.exe");
    stop();
    expectKilled(main, "QLMain.exe");
    EXPECT_NE(servicetest::processState(other.id()), 'Z');
    EXPECT_NE(servicetest::processState(other.id()), 0);
    EXPECT_EQ(pausedMs, 1000u);
}

TEST_F(ServicesTest, AFailingServiceToolDoesNotStopTheProcedures) {
    // The receiver runs but the fake tool knows no pid for it: "net stop" fails with 2.
    procs.start("OsReceiveSrv.exe");
    procs.startService(2);
    EXPECT_TRUE(stop());
    EXPECT_EQ(procs.netCalls(), (Lines{"stop OsReceiver", "stop OsTerminator"}));
    restart();
    // The receiver still runs, so only the terminator is started again.
    EXPECT_EQ(procs.netCalls(),
              (Lines{"stop OsReceiver", "stop OsTerminator", "start OsTerminator"}));
    EXPECT_EQ(log.back(), "Restart Terminator...");
}

TEST_F(ServicesTest, TheRealPauseLastsASecondPerStep) {
    procs.startService(3);
    const auto before = std::chrono::steady_clock::now();
    host::StopServices(addLog(), running);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(999));
    EXPECT_EQ(procs.netCalls(), Lines{"stop OsDispatcher"});
}

}  // namespace
