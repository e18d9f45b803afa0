// Where a wrapping line of text may break, for every backend that wraps text
// itself: after a word and its trailing spaces, around each CJK ideograph,
// and before a Thai character cluster (Thai writes no spaces between words).
#pragma once

#include <string>
#include <vector>

namespace toolkit {

// CJK ideographs, their punctuation and full-width forms.
bool IsIdeograph(wchar_t c);
// The text cut into the pieces a line may break after, in order; joined
// they give the text again.
std::vector<std::wstring> BreakPieces(const std::wstring& text);

}  // namespace toolkit
