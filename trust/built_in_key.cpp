// The publisher's key given to the build (trust/CMakeLists.txt passes the cache variable).
#include "trust/key_setting.h"

#ifndef QL_UPDATE_PUBLIC_KEY
#define QL_UPDATE_PUBLIC_KEY ""
#endif

namespace trust {

std::string_view builtInPublicKey() {
    return QL_UPDATE_PUBLIC_KEY;
}

}  // namespace trust
