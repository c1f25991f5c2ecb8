#include "tests/host/product_processes.h"

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "core/text.h"
#include "host/services.h"

namespace servicetest {

namespace fs = std::filesystem;

namespace {

// The fake service tool. Like the real one it returns only when the service has stopped
// (its process is gone or a zombie) or started (the process runs its image).
constexpr std::string_view kFakeNet = R"sh(#!/bin/sh
dir=$(cd "$(dirname "$0")/.." && pwd -P)
printf '%s\n' "$*" >> "$dir/net.log"
name=$2
case "$1" in
stop)
    [ -f "$dir/run/$name.pid" ] || exit 2
    pid=$(cat "$dir/run/$name.pid")
    rm -f "$dir/run/$name.pid"
    kill -KILL "$pid" 2>/dev/null
    n=0
    while [ -r "/proc/$pid/stat" ] && ! grep -q ') [ZX] ' "/proc/$pid/stat" 2>/dev/null; do
        n=$((n + 1)); [ $n -lt 500 ] || exit 1; sleep 0.01
    done
    ;;
start)
    image=$(cat "$dir/images/$name") || exit 2
    "$dir/bin/$image" </dev/null >/dev/null 2>&1 &
    pid=$!
    echo "$pid" > "$dir/run/$name.pid"
    echo "$pid" >> "$dir/started.pids"
    n=0
    while [ "$(readlink "/proc/$pid/exe")" != "$dir/bin/$image" ]; do
        n=$((n + 1)); [ $n -lt 500 ] || exit 1; sleep 0.01
    done
    ;;
*)
    exit 1
    ;;
esac
)sh";

std::string canonicalText(const fs::path& p) {
    return fs::canonical(p).string();
}

}  // namespace

ProductProcesses::ProductProcesses() {
    fs::create_directories(m_dir.path() / "bin");
    fs::create_directories(m_dir.path() / "run");
    for (const host::ServiceEntry& e : host::ServiceTable)
        if (e.kind == host::ServiceKind::Service)
            m_dir.write("images/" + std::string(e.serviceName), e.imageName);
    fs::path net = m_dir.write("tools/net", kFakeNet);
    fs::permissions(net, fs::perms::owner_all);
    const char* old = std::getenv("PATH");
    m_oldPath = old ? old : "";
    ::setenv("PATH", (canonicalText(m_dir.path() / "tools") + ":" + m_oldPath).c_str(), 1);
}

ProductProcesses::~ProductProcesses() {
    ::setenv("PATH", m_oldPath.c_str(), 1);
    // Processes the fake "net start" left running: not our children, so kill only those that
    // still run one of our copies (a recorded id may have ended and been reused).
    const fs::path started = m_dir.path() / "started.pids";
    if (!fs::exists(started)) return;
    const std::string bin = canonicalText(m_dir.path() / "bin") + "/";
    for (const std::string& line : core::splitLines(testsupport::readFile(started))) {
        const auto id = static_cast<host::ProcessId>(std::strtoul(line.c_str(), nullptr, 10));
        std::error_code ec;
        fs::path exe = fs::read_symlink("/proc/" + std::to_string(id) + "/exe", ec);
        if (!ec && exe.string().starts_with(bin)) ::kill(static_cast<pid_t>(id), SIGKILL);
    }
}

std::string ProductProcesses::program(std::string_view image) {
    fs::path p = m_dir.path() / "bin" / std::string(image);
    if (!fs::exists(p)) {
        fs::copy_file(QL_IDLE_PROGRAM, p);
        fs::permissions(p, fs::perms::owner_all);
    }
    return canonicalText(p);
}

ChildProcess& ProductProcesses::start(std::string_view image, const std::vector<std::string>& args,
                                      const std::string& argv0) {
    m_children.push_back(std::make_unique<ChildProcess>(program(image), args, argv0));
    return *m_children.back();
}

ChildProcess& ProductProcesses::startService(std::size_t entry) {
    const host::ServiceEntry& e = host::ServiceTable.at(entry);
    ChildProcess& child = start(e.imageName);
    m_dir.write("run/" + std::string(e.serviceName) + ".pid", std::to_string(child.id()) + "\n");
    return child;
}

std::vector<std::string> ProductProcesses::netCalls() const {
    const fs::path log = m_dir.path() / "net.log";
    return fs::exists(log) ? core::splitLines(testsupport::readFile(log))
                           : std::vector<std::string>{};
}

std::string ProductProcesses::shellOutput(const std::string& script) {
    const std::string out = m_dir.str() + "shell.out";
    const int rc = host::RunAndWait("sh -c \"" + script + " > " + out + "\"");
    if (rc != 0)
        throw std::runtime_error("sh -c failed with " + std::to_string(rc) + ": " + script);
    return testsupport::readFile(out);
}

std::string ProductProcesses::foreignProductProcess() {
    for (const host::ServiceEntry& e : host::ServiceTable)
        if (host::IsProcessRunning(e.imageName)) return std::string(e.imageName);
    for (std::string_view module : {"qlmain.exe", "countersale.exe"})
        if (host::FindProcessByModule(module) != 0) return "*" + std::string(module);
    return {};
}

}  // namespace servicetest
