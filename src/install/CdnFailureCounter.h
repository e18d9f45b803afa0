// How often the CDN kept failing for this product, kept across runs in the
// value "RequestTooMuchTimes" (decimal text) of the product's uninstall key.
// The window counts a failure; the address choice only logs the block.
#pragma once

#include <string>

namespace CdnFailureCounter {

// The stored text; false when there is none or the product name is not fit
// for a key.
bool Read(const std::wstring& productName, std::wstring* text);
// True when the stored count is above 3.
bool IsForbidCDN(const std::wstring& productName);
// Stores the count plus one (1 when none or below 1), never past INT32_MAX.
void Increment(const std::wstring& productName);

}  // namespace CdnFailureCounter
