// Whether a TCP service answers: the updater's test of its server before
// it asks for anything.
#pragma once

#include <chrono>
#include <string>

namespace platform {

// Default wait for the connection: 2 s and 500 us, as the updater's test.
inline constexpr std::chrono::microseconds kReachabilityTimeout{2'000'500};

// Connects to host:port without blocking and waits at most `timeout` for
// the connection. True when it was established (the connection is closed at
// once). False when the host cannot be resolved, the connection is refused,
// or the time runs out. The host is a dotted IPv4 address or a name.
bool IsReachable(const std::string& host, int port, std::chrono::microseconds timeout = kReachabilityTimeout);

}  // namespace platform
