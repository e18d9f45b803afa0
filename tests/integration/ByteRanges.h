// Byte ranges that requests asked for, sorted and joined where they meet or
// overlap: an idle worker may take the rest of a running slice whose request
// already asked up to its end, so the same bytes can be asked twice.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

using ByteRanges = std::vector<std::pair<int64_t, int64_t>>;

inline ByteRanges JoinedRanges(ByteRanges ranges) {
  std::sort(ranges.begin(), ranges.end());
  ByteRanges joined;
  for (const auto& range : ranges)
    if (!joined.empty() && range.first <= joined.back().second + 1)
      joined.back().second = std::max(joined.back().second, range.second);
    else joined.push_back(range);
  return joined;
}
