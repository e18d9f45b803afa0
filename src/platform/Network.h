// Network state and the millisecond tick count. Both can be replaced by a
// test (no threads may be running while a test swaps them).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// IsNetworkAlive: true when the system reports a connection.
bool IsNetworkAlive();
// GetTickCount: milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t TickCount();

// URLDownloadToFileW: the resource at `url` into the file `path`, with the
// system's own HTTP stack. 0 (S_OK) when the file was written, else the
// failure's HRESULT. The posix backend has no such stack and answers
// E_NOTIMPL at once, so that callers go on to their second way.
int32_t DownloadUrlToFile(const std::wstring& url, const std::wstring& path);

using NetworkProbe = bool (*)();
using TickSource = uint32_t (*)();
// nullptr restores the system's own answer.
void SetNetworkProbe(NetworkProbe probe);
void SetTickSource(TickSource source);

// The backends' real answers.
bool SystemIsNetworkAlive();
uint32_t SystemTickCount();

}  // namespace platform
