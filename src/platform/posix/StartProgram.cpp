// posix backend: starting a program from a Windows-style command line.
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/posix/PosixInternal.h"

namespace platform {
namespace posix {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program: a pair of quotation marks, or up to a blank; no escapes.
std::wstring ReadProgram(const std::wstring& line, size_t& at) {
  if (line.empty() || line[0] != L'"') {
    while (at < line.size() && !IsBlank(line[at])) ++at;
    return line.substr(0, at);
  }
  const size_t close = line.find(L'"', 1);
  at = close == std::wstring::npos ? line.size() : close + 1;
  return line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
}

std::wstring ReadArgument(const std::wstring& line, size_t& at) {
  std::wstring word;
  bool quoted = false;
  while (at < line.size() && (quoted || !IsBlank(line[at]))) {
    if (line[at] == L'\\') {
      size_t slashes = 0;
      for (; at < line.size() && line[at] == L'\\'; ++at) ++slashes;
      const bool beforeMark = at < line.size() && line[at] == L'"';
      word.append(beforeMark ? slashes / 2 : slashes, L'\\');
      if (beforeMark && slashes % 2 == 1) word += line[at++];  // an escaped mark
    } else if (line[at] != L'"') {
      word += line[at++];
    } else if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
      word += L'"';
      at += 2;
    } else {
      quoted = !quoted;
      ++at;
    }
  }
  return word;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  size_t at = 0;
  std::vector<std::wstring> words{ReadProgram(commandLine, at)};
  for (;;) {
    while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
    if (at == commandLine.size()) return words;
    words.push_back(ReadArgument(commandLine, at));
  }
}

}  // namespace posix

uint32_t StartProgram(const std::wstring& commandLine, const std::wstring& folder) {
  const std::vector<std::wstring> words = posix::SplitCommandLine(commandLine);
  if (words[0].empty()) return kErrorFileNotFound;
  std::vector<std::string> arguments;
  for (size_t i = 1; i < words.size(); ++i) arguments.push_back(WideToUtf8(words[i]));
  const std::string native = folder.empty() ? std::string() : posix::NativePath(folder);
  int error = 0;
  if (posix::SpawnDetached(posix::NativePath(words[0]), arguments, native, &error)) return 0;
  return posix::Win32ErrorOf(error);
}

}  // namespace platform
