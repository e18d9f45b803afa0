// The multi-string block of the registry, shared by both backends.
#include "platform/Platform.h"

#include <algorithm>

namespace platform {

std::vector<std::wstring> SplitMultiString(const std::wstring& block) {
  const size_t end = block.find_last_not_of(L'\0');
  std::vector<std::wstring> strings;
  if (end == std::wstring::npos) return strings;
  for (size_t start = 0; start <= end;) {
    const size_t stop = std::min(block.find(L'\0', start), end + 1);
    strings.push_back(block.substr(start, stop - start));
    start = stop + 1;
  }
  return strings;
}

}  // namespace platform
