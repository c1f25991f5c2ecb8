#include "host/tcp_connect.h"

#include <optional>
#include <string>
#include <vector>

namespace host {

bool isDottedAddress(std::string_view text) {
    int parts = 0;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t start = i;
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
        if (i == start || value > 255) return false;
        ++parts;
        if (i == text.size()) break;
        if (text[i] != '.' || parts == 4) return false;
        ++i;
    }
    return parts == 4;
}

core::Result<Socket, SocketError> connectByName(std::string_view name, std::uint16_t port,
                                                AddressFamily family) {
    std::vector<SocketAddress> addresses;
    if (family == AddressFamily::IPv4 && isDottedAddress(name)) {
        addresses.push_back({family, std::string(name), port});
    } else {
        auto r = resolve(name, port, family);
        if (!r) return core::fail(r.error());
        addresses = std::move(*r);
        if (addresses.empty()) return core::fail(SocketError{SocketOp::Resolve, 0, ""});
    }
    std::optional<SocketError> last;
    for (const auto& a : addresses) {
        auto s = Socket::connect(a);
        if (s) return s;
        last = s.error();
    }
    return core::fail(*last);
}

}  // namespace host
