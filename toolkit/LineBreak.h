// Where a wrapping line of text may break, as the platform's text library
// says (ICU on Linux, Uniscribe's ScriptBreak on Windows, each backend
// folder defining LineBreaks): after a word and its spaces, between CJK
// ideographs but never before closing punctuation such as "、" and "。",
// between Thai words but never inside one. A word wider than a whole line
// is cut where a character (a letter with its marks) ends.
#pragma once

#include <string>
#include <vector>

namespace toolkit {

// breaks[i] is true when a line may break before text[i]; never before the first.
std::vector<bool> LineBreaks(const std::wstring& text);
// stops[i] is true when a character with its marks starts at text[i].
std::vector<bool> CharacterStops(const std::wstring& text);

}  // namespace toolkit
