// The brace markup of the toolkit's texts: "{f 3}", "{c #RRGGBB}",
// "{c #AARRGGBB}", "{a url}", "{u}", "{n}" and "{p}", each closed by its
// "{/…}" form. Parsing never fails: a checker reads the problems, a window
// draws the runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace toolkit {

struct TextStyle {
  int font = -1;            // index into the window's font table; -1: the control's own
  bool hasColor = false;
  uint32_t color = 0;       // 0xAARRGGBB, valid when hasColor
  bool underline = false;
  int link = -1;            // 0-based link index, -1 outside links
};

struct TextRun {
  enum class Kind { kText, kLineBreak, kParagraph };
  Kind kind = Kind::kText;
  std::wstring text;  // empty for breaks
  TextStyle style;
};

struct MarkupResult {
  std::vector<TextRun> runs;
  std::vector<std::wstring> links;    // url of link n at index n
  std::vector<std::string> errors;    // unbalanced or malformed markup
  std::vector<std::string> warnings;  // tolerated: a closer with nothing to close
  std::wstring PlainText() const;     // the runs' text, breaks as "\n"
};

MarkupResult ParseMarkup(const std::wstring& text);

}  // namespace toolkit
