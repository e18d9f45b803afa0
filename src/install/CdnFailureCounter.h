// How often the CDN kept failing on this machine, per product: the text
// value "RequestTooMuchTimes" under the product's uninstall key. The install
// worker's address choice reads the block; the window counts the failures.
#pragma once

#include <optional>
#include <string>

namespace CdnFailureCounter {

// The stored text; none when the key or the value is missing.
std::optional<std::wstring> Read(const std::wstring& productName);
// True when a value is stored and its decimal value is above 3.
bool IsCdnBlocked(const std::wstring& productName);
// Stores the decimal value plus one (1 when it was absent or below 1).
void Increment(const std::wstring& productName);

}  // namespace CdnFailureCounter
