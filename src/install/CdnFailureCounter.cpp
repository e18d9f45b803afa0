#include "install/CdnFailureCounter.h"

#include <climits>
#include <cwchar>

#include "platform/Platform.h"

namespace CdnFailureCounter {
namespace {

const wchar_t kValueName[] = L"RequestTooMuchTimes";

std::wstring KeyOf(const std::wstring& productName) {
  return L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

// Text that is no number counts as 0; a number too large stays at the limit.
long long ValueOf(const std::optional<std::wstring>& text) {
  return text ? std::wcstoll(text->c_str(), nullptr, 10) : 0;
}

}  // namespace

std::optional<std::wstring> Read(const std::wstring& productName) {
  std::wstring text;
  if (!platform::System().RegReadString(KeyOf(productName), kValueName, &text)) return std::nullopt;
  return text;
}

bool IsCdnBlocked(const std::wstring& productName) {
  const std::optional<std::wstring> text = Read(productName);
  return text && ValueOf(text) > 3;
}

void Increment(const std::wstring& productName) {
  const long long count = ValueOf(Read(productName));
  const long long next = count < 1 ? 1 : count == LLONG_MAX ? count : count + 1;
  platform::System().RegWriteString(KeyOf(productName), kValueName, std::to_wstring(next));
}

}  // namespace CdnFailureCounter
