// config.ini as any bytes: decoding, the profile-API reading rules and Descramble.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/text.h"
#include "host/config.h"
#include "host/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto ini = host::ProfileFile::Parse(
        core::decodeText(std::string_view(reinterpret_cast<const char*>(data), size)));
    (void)host::Descramble(ini.GetString("MySQL", "RootPass", host::kDefaultRootPass));
    return 0;
}
