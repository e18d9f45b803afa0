// Line breaks and bidirectional order on Linux, from ICU: its line break
// iterator (UAX #14, with dictionaries for Thai and the other scripts that
// write no spaces) and its bidirectional algorithm (UAX #9). ICU reads
// UTF-16; a wide string holds UTF-32 here.
#include <unicode/ubidi.h>
#include <unicode/ubrk.h>
#include <unicode/utf16.h>

#include <easylogging++.h>

#include <memory>

#include "toolkit/Bidi.h"
#include "toolkit/LineBreak.h"

namespace toolkit {

namespace {

// The text in UTF-16, and for each UTF-16 offset (and the end) the index of
// its character in the wide string.
struct Utf16Text {
  std::u16string units;
  std::vector<size_t> index;

  explicit Utf16Text(const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<uint32_t>(text[i]);
      const bool valid = c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
      const UChar32 code = valid ? static_cast<UChar32>(c) : 0xFFFD;
      if (U16_LENGTH(code) == 2) {
        units.push_back(static_cast<char16_t>(U16_LEAD(code)));
        units.push_back(static_cast<char16_t>(U16_TRAIL(code)));
        index.insert(index.end(), {i, i});
      } else {
        units.push_back(static_cast<char16_t>(code));
        index.push_back(i);
      }
    }
    index.push_back(text.size());
  }
  const UChar* data() const { return reinterpret_cast<const UChar*>(units.data()); }
  int32_t length() const { return static_cast<int32_t>(units.size()); }
};

struct BreakIteratorClose {
  void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
struct BidiClose {
  void operator()(UBiDi* bidi) const { ubidi_close(bidi); }
};

// One break iterator of each kind per thread: opening one loads its rules.
UBreakIterator* Iterator(UBreakIteratorType type) {
  thread_local std::unique_ptr<UBreakIterator, BreakIteratorClose> iterators[2];
  std::unique_ptr<UBreakIterator, BreakIteratorClose>& iterator = iterators[type == UBRK_LINE ? 0 : 1];
  if (!iterator) {
    UErrorCode status = U_ZERO_ERROR;
    iterator.reset(ubrk_open(type, "", nullptr, 0, &status));
    if (U_FAILURE(status)) {
      LOG(WARNING) << " ICU breaks unavailable: " << u_errorName(status);
      iterator.reset();
    }
  }
  return iterator.get();
}

// Where the iterator of `type` finds a boundary inside the text.
std::vector<bool> Boundaries(const std::wstring& text, UBreakIteratorType type) {
  std::vector<bool> breaks(text.size(), false);
  UBreakIterator* iterator = text.size() > 1 ? Iterator(type) : nullptr;
  if (!iterator) return breaks;
  const Utf16Text utf16(text);
  UErrorCode status = U_ZERO_ERROR;
  ubrk_setText(iterator, utf16.data(), utf16.length(), &status);
  if (U_FAILURE(status)) return breaks;
  for (int32_t at = ubrk_next(iterator); at != UBRK_DONE && at < utf16.length(); at = ubrk_next(iterator))
    breaks[utf16.index[static_cast<size_t>(at)]] = true;
  ubrk_setText(iterator, nullptr, 0, &status);  // the iterator must not keep the text
  return breaks;
}

}  // namespace

std::vector<bool> LineBreaks(const std::wstring& text) { return Boundaries(text, UBRK_LINE); }

std::vector<bool> CharacterStops(const std::wstring& text) {
  std::vector<bool> stops = Boundaries(text, UBRK_CHARACTER);
  if (!stops.empty()) stops[0] = true;
  return stops;
}

std::vector<DirectionRun> VisualRuns(const std::wstring& text, bool rightToLeft) {
  const std::vector<DirectionRun> whole{DirectionRun{0, text.size(), rightToLeft}};
  if (text.empty()) return {};
  const Utf16Text utf16(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UBiDi, BidiClose> bidi(ubidi_open());
  ubidi_setPara(bidi.get(), utf16.data(), utf16.length(), rightToLeft ? UBIDI_RTL : UBIDI_LTR, nullptr, &status);
  const int32_t count = U_SUCCESS(status) ? ubidi_countRuns(bidi.get(), &status) : 0;
  if (U_FAILURE(status) || count <= 0) return whole;
  std::vector<DirectionRun> runs;
  for (int32_t i = 0; i < count; ++i) {
    int32_t start = 0, length = 0;
    const UBiDiDirection direction = ubidi_getVisualRun(bidi.get(), i, &start, &length);
    const size_t first = utf16.index[static_cast<size_t>(start)];
    const size_t end = utf16.index[static_cast<size_t>(start + length)];
    runs.push_back(DirectionRun{first, end - first, direction == UBIDI_RTL});
  }
  return runs;
}

}  // namespace toolkit
