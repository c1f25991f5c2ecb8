// The moment by which a connect must be done: the connection time-out bounds the whole connect
// (resolution, TCP connect, handshake, login answer), not each read on the way.
#pragma once

#include <chrono>

namespace db {

using Deadline = std::chrono::steady_clock::time_point;

// When a connect started now with this time-out must be done; 0 or less: never.
inline Deadline connectDeadline(int timeoutSeconds) {
    if (timeoutSeconds <= 0) return Deadline::max();
    return std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
}

inline bool hasLimit(Deadline d) {
    return d != Deadline::max();
}

// Milliseconds left until `d`, rounded up (so that a wait never ends just before it); 0 once
// it has passed.
inline int millisecondsLeft(Deadline d) {
    const auto left = d - std::chrono::steady_clock::now();
    if (left <= left.zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace db
