#include "toolkit/LineBreak.h"

#include <utility>

namespace toolkit {

namespace {

// A Thai cluster is a consonant with its vowels and marks; a leading vowel
// stays with the consonant after it.
bool StartsThaiCluster(wchar_t c, wchar_t previous) {
  const bool base = (c >= 0x0E01 && c <= 0x0E2F) || c == 0x0E3F || (c >= 0x0E40 && c <= 0x0E44) ||
                    (c >= 0x0E4F && c <= 0x0E5B);
  return base && !(previous >= 0x0E40 && previous <= 0x0E44);
}

}  // namespace

bool IsIdeograph(wchar_t c) {
  const bool hangulJamo = c >= 0x3130 && c <= 0x318F;
  return (c >= 0x2E80 && c <= 0x9FFF && !hangulJamo) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

std::vector<std::wstring> BreakPieces(const std::wstring& text) {
  std::vector<std::wstring> pieces;
  std::wstring piece;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool ideograph = IsIdeograph(c);
    const bool cluster = !piece.empty() && piece.back() != L' ' && StartsThaiCluster(c, piece.back());
    if ((ideograph || cluster) && !piece.empty()) pieces.push_back(std::move(piece)), piece.clear();
    piece += c;
    const bool nextIsText = i + 1 < text.size() && text[i + 1] != L' ';
    if (ideograph || (c == L' ' && nextIsText)) pieces.push_back(std::move(piece)), piece.clear();
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
  return pieces;
}

}  // namespace toolkit
