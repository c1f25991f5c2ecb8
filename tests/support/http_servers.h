// Real HTTP servers for integration tests and benchmarks, started on a free 127.0.0.1 port
// inside a temporary folder and stopped with the object: nginx and Python's http.server.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace testsupport {

class HttpServerProcess {
  public:
    HttpServerProcess(const HttpServerProcess&) = delete;
    HttpServerProcess& operator=(const HttpServerProcess&) = delete;
    ~HttpServerProcess();

    // False (with why()) when the server program is missing or did not start.
    bool running() const { return m_pid > 0; }
    const std::string& why() const { return m_why; }
    std::uint16_t port() const { return m_port; }
    std::string url(const std::string& path) const;

  protected:
    HttpServerProcess() = default;
    // Runs `command` (a shell command line) in the background and waits for the port to answer.
    void start(const std::string& command, const std::filesystem::path& workDir);

    std::uint16_t m_port = 0;
    long m_pid = 0;
    std::string m_why;
};

// nginx serving `root` with its configuration, pid file and logs in `workDir`.
class NginxServer : public HttpServerProcess {
  public:
    NginxServer(const std::filesystem::path& root, const std::filesystem::path& workDir);
};

// python3 -m http.server serving `root` (it answers HTTP/1.0 and closes after each response).
class PythonHttpServer : public HttpServerProcess {
  public:
    PythonHttpServer(const std::filesystem::path& root, const std::filesystem::path& workDir);
};

// A free TCP port on 127.0.0.1 (bound and released; fine for tests).
std::uint16_t freeLoopbackPort();
// True when a program of that name is found through PATH.
bool haveProgram(const std::string& name);
// Writes `size` bytes of a fixed pseudo-random pattern (the same for the same size).
void writePatternFile(const std::filesystem::path& path, std::uint64_t size);
// Compares two files byte by byte without reading them whole.
bool sameFileContents(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace testsupport
