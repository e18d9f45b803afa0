// Line breaks and bidirectional order on Windows, from Uniscribe: the text
// is cut into items of one script and direction (ScriptItemize), each item
// breaks by its script's rules (ScriptBreak, with the dictionaries of Thai
// and the like), and the items are shown in the order ScriptLayout gives
// their levels. usp10 is not a KnownDLL: it is delay-loaded.
#include <windows.h>
#include <usp10.h>

#include <algorithm>

#include "toolkit/Bidi.h"
#include "toolkit/LineBreak.h"

namespace toolkit {

namespace {

// The items of `text` in a paragraph of the given direction (the last
// entry marks the end); empty when Uniscribe refuses.
std::vector<SCRIPT_ITEM> Itemize(const std::wstring& text, bool rightToLeft) {
  SCRIPT_CONTROL control{};
  SCRIPT_STATE state{};
  state.uBidiLevel = rightToLeft ? 1 : 0;
  std::vector<SCRIPT_ITEM> items(std::max<size_t>(text.size(), 8) + 1);
  int count = 0;
  const HRESULT result = ScriptItemize(text.c_str(), static_cast<int>(text.size()), static_cast<int>(items.size() - 1),
                                       &control, &state, items.data(), &count);
  if (FAILED(result) || count <= 0) return {};
  items.resize(static_cast<size_t>(count) + 1);
  return items;
}

// Where `length` characters from `at` may break by the rules of `analysis`.
bool Break(const std::wstring& text, size_t at, size_t length, const SCRIPT_ANALYSIS& analysis,
           std::vector<SCRIPT_LOGATTR>* attributes) {
  attributes->assign(length, SCRIPT_LOGATTR{});
  return SUCCEEDED(ScriptBreak(text.c_str() + at, static_cast<int>(length), &analysis, attributes->data()));
}

}  // namespace

// Within an item its script's rules decide; where two items meet, the rules
// of the second on the two characters that meet there.
std::vector<bool> LineBreaks(const std::wstring& text) {
  std::vector<bool> breaks(text.size(), false);
  if (text.size() < 2) return breaks;
  const std::vector<SCRIPT_ITEM> items = Itemize(text, false);
  std::vector<SCRIPT_LOGATTR> attributes;
  for (size_t i = 0; i + 1 < items.size(); ++i) {
    const size_t start = static_cast<size_t>(items[i].iCharPos), end = static_cast<size_t>(items[i + 1].iCharPos);
    if (Break(text, start, end - start, items[i].a, &attributes))
      for (size_t k = 1; k < attributes.size(); ++k) breaks[start + k] = attributes[k].fSoftBreak != 0;
    if (start > 0 && Break(text, start - 1, 2, items[i].a, &attributes)) breaks[start] = attributes[1].fSoftBreak != 0;
  }
  return breaks;
}

// Every item starts a character; inside one, its script's rules decide.
std::vector<bool> CharacterStops(const std::wstring& text) {
  std::vector<bool> stops(text.size(), true);
  const std::vector<SCRIPT_ITEM> items = Itemize(text, false);
  std::vector<SCRIPT_LOGATTR> attributes;
  for (size_t i = 0; i + 1 < items.size(); ++i) {
    const size_t start = static_cast<size_t>(items[i].iCharPos), end = static_cast<size_t>(items[i + 1].iCharPos);
    if (Break(text, start, end - start, items[i].a, &attributes))
      for (size_t k = 1; k < attributes.size(); ++k) stops[start + k] = attributes[k].fCharStop != 0;
  }
  return stops;
}

std::vector<DirectionRun> VisualRuns(const std::wstring& text, bool rightToLeft) {
  if (text.empty()) return {};
  const std::vector<SCRIPT_ITEM> items = Itemize(text, rightToLeft);
  if (items.empty()) return {DirectionRun{0, text.size(), rightToLeft}};
  const int count = static_cast<int>(items.size() - 1);
  std::vector<BYTE> levels(items.size());
  std::vector<int> visualToLogical(items.size());
  for (int i = 0; i < count; ++i) levels[i] = static_cast<BYTE>(items[i].a.s.uBidiLevel);
  if (FAILED(ScriptLayout(count, levels.data(), visualToLogical.data(), nullptr)))
    for (int i = 0; i < count; ++i) visualToLogical[i] = i;
  std::vector<DirectionRun> runs;
  for (int v = 0; v < count; ++v) {
    const int i = visualToLogical[v];
    const size_t start = static_cast<size_t>(items[i].iCharPos);
    runs.push_back(DirectionRun{start, static_cast<size_t>(items[i + 1].iCharPos) - start, (levels[i] & 1) != 0});
  }
  return runs;
}

}  // namespace toolkit
