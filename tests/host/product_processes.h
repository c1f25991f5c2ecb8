// The product's processes for a test: copies of the idle program under the product's image
// names, and a fake service tool "net" first on PATH that records its calls and starts and
// stops those copies. Everything started is killed when the object goes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/host/child_process.h"
#include "tests/support/temp_dir.h"

namespace servicetest {

class ProductProcesses {
  public:
    ProductProcesses();
    ~ProductProcesses();
    ProductProcesses(const ProductProcesses&) = delete;
    ProductProcesses& operator=(const ProductProcesses&) = delete;

    // Path of a copy of the idle program saved under `image` (made on first use).
    std::string program(std::string_view image);
    // Starts a copy under `image` (with `argv0` as argv[0] when given).
    ChildProcess& start(std::string_view image, const std::vector<std::string>& args = {},
                        const std::string& argv0 = {});
    // Starts the process of a service table entry so that the fake "net stop" can stop it.
    ChildProcess& startService(std::size_t entry);
    // Each call of the fake "net", its arguments joined by blanks, oldest first.
    std::vector<std::string> netCalls() const;
    // Runs `sh -c SCRIPT` and gives its output (the script must not hold double quotes).
    std::string shellOutput(const std::string& script);

    const testsupport::TempDir& dir() const { return m_dir; }

    // A product image (or a module name the program lookup would take) already running, not
    // started by this test: "" when there is none. Tests skip rather than touch it.
    static std::string foreignProductProcess();

  private:
    testsupport::TempDir m_dir;
    std::string m_oldPath;
    std::vector<std::unique_ptr<ChildProcess>> m_children;
};

// A test fixture that skips when another product process runs on this machine.
class ProductTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string f = ProductProcesses::foreignProductProcess(); !f.empty())
            GTEST_SKIP() << "a process " << f << " not started by this test is running";
    }
    ProductProcesses procs;
};

}  // namespace servicetest
