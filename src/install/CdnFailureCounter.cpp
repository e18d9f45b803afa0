#include "install/CdnFailureCounter.h"

#include <cstdint>
#include <cwchar>

#include "install/InstallFiles.h"
#include "platform/Platform.h"

namespace CdnFailureCounter {

namespace {

constexpr wchar_t kValue[] = L"RequestTooMuchTimes";

std::wstring Key(const std::wstring& productName) {
  return L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

// The stored count; 0 when absent or not a number (wcstoll saturates).
long long Count(const std::wstring& productName) {
  std::wstring text;
  return Read(productName, &text) ? std::wcstoll(text.c_str(), nullptr, 10) : 0;
}

}  // namespace

bool Read(const std::wstring& productName, std::wstring* text) {
  return IsSafeKeyName(productName) && platform::System().RegReadString(Key(productName), kValue, text);
}

bool IsForbidCDN(const std::wstring& productName) { return Count(productName) > 3; }

void Increment(const std::wstring& productName) {
  if (!IsSafeKeyName(productName)) return;
  const long long count = Count(productName);
  const long long next = count < 1 ? 1 : count >= INT32_MAX ? INT32_MAX : count + 1;
  platform::System().RegWriteString(Key(productName), kValue, std::to_wstring(next));
}

}  // namespace CdnFailureCounter
