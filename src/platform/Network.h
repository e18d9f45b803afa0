// Network state and the millisecond tick count. Both can be replaced by a
// test (no threads may be running while a test swaps them).
#pragma once

#include <cstdint>

namespace platform {

// IsNetworkAlive: true when the system reports a connection.
bool IsNetworkAlive();
// GetTickCount: milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t TickCount();

using NetworkProbe = bool (*)();
using TickSource = uint32_t (*)();
// nullptr restores the system's own answer.
void SetNetworkProbe(NetworkProbe probe);
void SetTickSource(TickSource source);

// The backends' real answers.
bool SystemIsNetworkAlive();
uint32_t SystemTickCount();

}  // namespace platform
