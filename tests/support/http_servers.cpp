#include "tests/support/http_servers.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/platform.h"
#include "tests/support/temp_dir.h"

namespace testsupport {

namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool portAnswers(std::uint16_t port) {
    return host::Socket::connect({host::AddressFamily::IPv4, "127.0.0.1", port}).ok();
}

}  // namespace

std::uint16_t freeLoopbackPort() {
    auto l = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    if (!l) throw std::runtime_error("no free port: " + l.error().text);
    return l->port();
}

bool haveProgram(const std::string& name) {
    return std::system(("command -v " + quote(name) + " >/dev/null 2>&1").c_str()) == 0;
}

void writePatternFile(const fs::path& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> block(1 << 20);
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t done = 0; done < size;) {
        for (char& c : block) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            c = static_cast<char>(x);
        }
        const auto n =
            static_cast<std::streamsize>(std::min<std::uint64_t>(block.size(), size - done));
        out.write(block.data(), n);
        done += static_cast<std::uint64_t>(n);
    }
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

bool sameFileContents(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount()) return false;
        if (!std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) return false;
        if (fa.gcount() == 0) return true;
    }
}

HttpServerProcess::~HttpServerProcess() {
    if (m_pid > 0) std::system(("kill " + std::to_string(m_pid) + " 2>/dev/null").c_str());
    // Wait for the port to be released so that the next test can start cleanly.
    for (int i = 0; i < 50 && m_pid > 0 && portAnswers(m_port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string HttpServerProcess::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void HttpServerProcess::start(const std::string& command, const fs::path& workDir) {
    const fs::path pidFile = workDir / "launcher.pid";
    const std::string line = command + " >" + quote((workDir / "stdout.log").string()) + " 2>" +
                             quote((workDir / "stderr.log").string()) + " </dev/null & echo $! >" +
                             quote(pidFile.string());
    if (std::system(line.c_str()) != 0) {
        m_why = "cannot run: " + command;
        return;
    }
    m_pid = std::stol(readFile(pidFile));
    for (int i = 0; i < 400; ++i) {
        if (portAnswers(m_port)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    m_why = "server did not answer on port " + std::to_string(m_port) + ": " +
            readFile(workDir / "stderr.log");
    std::system(("kill " + std::to_string(m_pid) + " 2>/dev/null").c_str());
    m_pid = 0;
}

NginxServer::NginxServer(const fs::path& root, const fs::path& workDir) {
    if (!haveProgram("nginx") && !fs::exists("/usr/sbin/nginx")) {
        m_why = "nginx is not installed";
        return;
    }
    m_port = freeLoopbackPort();
    const std::string dir = workDir.string();
    fs::create_directories(workDir / "tmp");
    std::ofstream conf(workDir / "nginx.conf");
    conf << "user root;\nworker_processes 1;\npid " << dir << "/nginx.pid;\nerror_log " << dir
         << "/error.log;\nevents { worker_connections 64; }\nhttp {\n  access_log " << dir
         << "/access.log;\n  client_body_temp_path " << dir << "/tmp/body;\n  proxy_temp_path "
         << dir << "/tmp/proxy;\n  sendfile on;\n  keepalive_timeout 65;\n"
         << "  types { application/zip zip; text/plain txt; text/html html; }\n"
         << "  default_type application/octet-stream;\n  server {\n    listen 127.0.0.1:" << m_port
         << ";\n    root " << root.string() << ";\n  }\n}\n";
    conf.close();
    const std::string nginx = fs::exists("/usr/sbin/nginx") ? "/usr/sbin/nginx" : "nginx";
    start("exec " + nginx + " -p " + quote(dir) + " -e " + quote(dir + "/error.log") + " -c " +
              quote(dir + "/nginx.conf") + " -g 'daemon off;'",
          workDir);
}

PythonHttpServer::PythonHttpServer(const fs::path& root, const fs::path& workDir) {
    if (!haveProgram("python3")) {
        m_why = "python3 is not installed";
        return;
    }
    m_port = freeLoopbackPort();
    start("exec python3 -m http.server " + std::to_string(m_port) +
              " --bind 127.0.0.1 --directory " + quote(root.string()),
          workDir);
}

}  // namespace testsupport
