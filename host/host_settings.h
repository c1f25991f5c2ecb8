// HostSettings: where the host's fixed places are, injectable so that tests and the demo never
// write to "/" or read the real Program Files folder. Empty optionals mean "ask the platform".
#pragma once

#include <optional>
#include <string>

namespace host {

struct HostSettings {
    // The Program Files folder (Windows: the registry value "ProgramFilesDir"; POSIX: "/opt/").
    std::optional<std::string> programFilesDir;
    // The base of the temporary folder (Windows: the drive of the updater's own program file;
    // POSIX: "/"). Carried with or without its trailing separator.
    std::optional<std::string> tempRoot;
};

}  // namespace host
