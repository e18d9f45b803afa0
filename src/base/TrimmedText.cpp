#include "base/TrimmedText.h"

namespace {

template <typename Text>
Text Trimmed(const Text& text) {
  const auto isBlank = [](typename Text::value_type c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  };
  size_t begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::string TrimBlanks(const std::string& text) { return Trimmed(text); }

std::wstring TrimBlanks(const std::wstring& text) { return Trimmed(text); }
