// The order in which the parts of a line of mixed direction are shown
// (Arabic words with "PDF" or a section number among them), by the
// bidirectional algorithm of the platform's text library (ICU on Linux,
// Uniscribe on Windows; each backend folder defines VisualRuns).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace toolkit {

// Characters [start, start + length) of a text, all of one direction.
struct DirectionRun {
  size_t start = 0, length = 0;
  bool rightToLeft = false;
};

// The runs of `text` from left to right as shown, in a paragraph of the
// given direction; together they hold every character once.
std::vector<DirectionRun> VisualRuns(const std::wstring& text, bool rightToLeft);
// Whether the text holds a letter of a right-to-left script.
bool HasRightToLeft(const std::wstring& text);

}  // namespace toolkit
