#include "fuzz/http_response_body.h"

#include <cstdlib>
#include <vector>

#include "net/response_reader.h"

namespace fuzzing {

using namespace net;

void fuzzHttpResponse(std::span<const std::byte> input) {
    if (input.empty()) return;
    const std::size_t step = std::to_integer<std::size_t>(input[0]) + 1;
    const auto bytes = input.subspan(1);
    const std::span<const std::byte> whole[] = {bytes};
    std::vector<std::span<const std::byte>> pieces;
    for (std::size_t pos = 0; pos < bytes.size(); pos += step)
        pieces.push_back(bytes.subspan(pos, std::min(step, bytes.size() - pos)));
    for (PeerEnd end : {PeerEnd::Open, PeerEnd::Closed}) {
        auto a = readResponse(whole, end);
        auto b = readResponse(pieces, end);
        // How the bytes arrive must not change what they mean.
        if (a.ok() != b.ok()) std::abort();
        if (a.ok() && (a->body != b->body || a->complete != b->complete ||
                       a->head.rawHeaders != b->head.rawHeaders))
            std::abort();
        if (!a.ok() && a.error().kind != b.error().kind) std::abort();
    }
    // A close may end a body that runs until the close, never a head: whatever completes
    // after the close had its head complete before it.
    auto open = readResponse(whole, PeerEnd::Open);
    auto closed = readResponse(whole, PeerEnd::Closed);
    if (closed.ok() && closed->complete && !(open.ok() && open->headComplete)) std::abort();
}

}  // namespace fuzzing
