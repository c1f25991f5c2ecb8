// config.ini as any bytes: decoding, the profile-API reading rules and Descramble. A value read
// is never longer than the profile buffer, and a key that is not found gives the default.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/text.h"
#include "host/config.h"
#include "host/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto ini = host::ProfileFile::Parse(
        core::decodeText(std::string_view(reinterpret_cast<const char*>(data), size)));
    for (std::string_view key : {host::kServerKey, host::kRootPassKey}) {
        const auto found = ini.Find(host::kConfigSection, key);
        const std::string value = ini.GetString(host::kConfigSection, key, "default");
        if (!found && value != "default") std::abort();
        if (core::utf8ToCodePoints(value).size() > host::kProfileValueMax) std::abort();
        if (found && *found != value) std::abort();
        (void)host::Descramble(value);
    }
    return 0;
}
