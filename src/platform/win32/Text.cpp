// Text conversions of the win32 backend: WideCharToMultiByte and
// MultiByteToWideChar over exactly the given length (no terminating NUL).
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

namespace platform {

const wchar_t kPathSep = L'\\';

namespace {

// The ANSI code page without best fit; *usedDefault (when given) tells
// whether a character had to become the default character. UTF-8 (also as
// the system's ANSI code page) takes neither the flag nor the question.
std::string FromWide(UINT codePage, const std::wstring& text, BOOL* usedDefault = nullptr) {
  if (text.empty()) return std::string();
  const bool utf8 = codePage == CP_UTF8 || GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* question = utf8 ? nullptr : usedDefault;
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, question);
  if (needed <= 0) return std::string();
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), length, &out[0], needed, nullptr, question);
  return out;
}

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, &out[0], needed);
  return out;
}

}  // namespace

std::string WideToUtf8(const std::wstring& text) { return FromWide(CP_UTF8, text); }
std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string WideToAnsi(const std::wstring& text) { return FromWide(CP_ACP, text); }
std::wstring AnsiToWide(const std::string& text) { return ToWide(CP_ACP, text); }

bool WideToAnsiExact(const std::wstring& text, std::string* ansi) {
  BOOL usedDefault = FALSE;
  *ansi = FromWide(CP_ACP, text, &usedDefault);
  return !usedDefault && (text.empty() || !ansi->empty());
}

}  // namespace platform
