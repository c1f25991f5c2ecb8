// qltool config DIR: the database settings the updater would take from DIR/config.ini. The
// root password itself is never printed, only where it comes from.
#include <cstdio>
#include <string>

#include "host/config.h"
#include "host/install_path.h"
#include "host/paths.h"
#include "host/profile.h"

extern const char* const qltool_config_usage =
    "config DIR          server and root-password state from DIR/config.ini";

int qltool_config(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_config_usage);
        return 64;
    }
    std::string installPath = host::IncludeTrailingPathDelimiter(argv[1]);
    if (!host::ConfigFileExists(installPath)) {
        std::fprintf(stderr, "qltool config: no configuration file %s\n",
                     host::GetConfigFileName(installPath).c_str());
        return 1;
    }
    host::DbSettings settings = host::ReadConfig(installPath);
    auto stored = host::ProfileFile::Load(host::GetConfigFileName(installPath))
                      .Find(host::kConfigSection, host::kRootPassKey);
    const char* password = !stored                   ? "set (built-in default)"
                           : settings.RootPass.empty() ? "not set (empty)"
                                                       : "set";
    std::printf("server: %s\n", settings.Server.c_str());
    std::printf("root password: %s\n", password);
    return 0;
}
