#include "host/platform/paths.h"

namespace host {

// Third-party application suites install under /opt (FHS 3.0, 3.13).
std::string programFilesFolder() {
    return "/opt/";
}

}  // namespace host
