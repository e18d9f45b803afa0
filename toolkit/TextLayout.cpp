#include "toolkit/TextLayout.h"

#include <algorithm>
#include <utility>

#include "toolkit/Bidi.h"
#include "toolkit/LineBreak.h"

namespace toolkit {

namespace {

// A piece of a line in reading order: text of one run that no line break
// may cut. Pieces of several runs with no break between them form a group,
// which stays on one line.
struct Piece {
  std::wstring text;
  const FontSpec* font = nullptr;
  TextStyle style;
  TextExtent extent;
};

struct LogicalLine {
  std::vector<Piece> pieces;
  float width = 0, ascent = 0, height = 0;
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == 0x3000; }

// Line feeds inside a text end lines as "{n}" does.
std::vector<TextRun> SplitLineFeeds(const std::vector<TextRun>& runs) {
  std::vector<TextRun> split;
  for (const TextRun& run : runs) {
    if (run.kind != TextRun::Kind::kText) {
      split.push_back(run);
      continue;
    }
    for (size_t start = 0;;) {
      const size_t feed = run.text.find(L'\n', start);
      std::wstring part = run.text.substr(start, feed == std::wstring::npos ? std::wstring::npos : feed - start);
      if (!part.empty() && part.back() == L'\r') part.pop_back();
      if (!part.empty()) split.push_back(TextRun{TextRun::Kind::kText, part, run.style});
      if (feed == std::wstring::npos) break;
      split.push_back(TextRun{TextRun::Kind::kLineBreak, L"", run.style});
      start = feed + 1;
    }
  }
  return split;
}

class LineFiller {
 public:
  LineFiller(const RunFont& fontOf, const TextOptions& options, const MeasureFunction& measure)
      : fontOf_(fontOf), options_(options), measure_(measure), lines_(1) {}

  // A paragraph's runs between two line ends, cut where lines may break.
  void AddParagraph(const std::vector<const TextRun*>& runs) {
    std::wstring whole;
    for (const TextRun* run : runs) whole += run->text;
    const std::vector<bool> breaks = options_.wrap ? LineBreaks(whole) : std::vector<bool>(whole.size(), false);
    std::vector<Piece> group;
    size_t at = 0;
    for (const TextRun* run : runs) {
      const FontSpec& font = fontOf_(run->style);
      size_t start = 0;
      for (size_t i = 1; i <= run->text.size(); ++i) {
        const bool cut = i < run->text.size() && breaks[at + i];
        if (i < run->text.size() && !cut) continue;
        group.push_back(Piece{run->text.substr(start, i - start), &font, run->style, {}});
        if (cut || (at + i < whole.size() && breaks[at + i])) {
          AddGroup(&group);
          group.clear();
        }
        start = i;
      }
      at += run->text.size();
    }
    AddGroup(&group);
  }

  // An explicit line end in `font`: an empty line still takes its height.
  void EndLine(const FontSpec& font, bool paragraph) {
    LogicalLine& line = lines_.back();
    const TextExtent empty = measure_(L"", font);
    line.ascent = std::max(line.ascent, empty.ascent);
    line.height = std::max(line.height, empty.height);
    if (paragraph) line.height += empty.height / 2;
    lines_.emplace_back();
  }

  std::vector<LogicalLine>& lines() { return lines_; }

 private:
  void AddGroup(std::vector<Piece>* group) {
    if (group->empty()) return;
    float width = 0;
    for (Piece& piece : *group) width += (piece.extent = measure_(piece.text, *piece.font)).width;
    if (options_.wrap && group->size() == 1 && Ink(group->front()).width > options_.width)
      return AddOverlong(group->front());
    Place(group, width);
  }

  // A word wider than a whole line (Thai where the library knows no words)
  // is cut where a character ends, each part as long as a line holds.
  void AddOverlong(const Piece& word) {
    const std::vector<bool> stops = CharacterStops(word.text);
    for (size_t start = 0; start < word.text.size();) {
      size_t end = start + 1;  // a line holds one character at least
      while (end < word.text.size() && !stops[end]) ++end;
      for (size_t next = end + 1; next <= word.text.size(); ++next) {
        if (next < word.text.size() && !stops[next]) continue;
        if (measure_(word.text.substr(start, next - start), *word.font).width > options_.width) break;
        end = next;
      }
      std::vector<Piece> part{Piece{word.text.substr(start, end - start), word.font, word.style, {}}};
      part[0].extent = measure_(part[0].text, *word.font);
      Place(&part, part[0].extent.width);
      start = end;
    }
  }

  // A group goes on the current line when its ink fits (its trailing blanks
  // may pass the edge), else it starts the next.
  void Place(std::vector<Piece>* group, float width) {
    const Piece& last = group->back();
    const size_t ink = last.text.find_last_not_of(L" \t\u3000") + 1;
    const float trailing = ink == last.text.size() ? 0 : last.extent.width - Ink(last).width;
    if (options_.wrap && !lines_.back().pieces.empty() && lines_.back().width + width - trailing > options_.width) {
      TrimEnd(&lines_.back());
      lines_.emplace_back();
    }
    LogicalLine& line = lines_.back();
    for (Piece& piece : *group) {
      line.width += piece.extent.width;
      line.ascent = std::max(line.ascent, piece.extent.ascent);
      line.height = std::max(line.height, piece.extent.height);
      line.pieces.push_back(std::move(piece));
    }
  }

  TextExtent Ink(const Piece& piece) {
    size_t end = piece.text.size();
    while (end > 0 && IsBlank(piece.text[end - 1])) --end;
    return end == piece.text.size() ? piece.extent : measure_(piece.text.substr(0, end), *piece.font);
  }

  // A wrapped line ends at its last ink: its trailing blanks are dropped.
  void TrimEnd(LogicalLine* line) {
    Piece& last = line->pieces.back();
    const TextExtent ink = Ink(last);
    line->width -= last.extent.width - ink.width;
    last.text.erase(last.text.find_last_not_of(L" \t\u3000") + 1);
    last.extent.width = ink.width;
  }

  const RunFont& fontOf_;
  const TextOptions& options_;
  const MeasureFunction& measure_;
  std::vector<LogicalLine> lines_;
};

// The line's pieces cut at the borders of its direction runs and put in the
// order they are shown: runs from left to right, a right-to-left run's
// pieces from its logical end.
TextLine ShownOrder(const LogicalLine& logical, bool rightToLeft, const MeasureFunction& measure) {
  TextLine line;
  line.ascent = logical.ascent;
  line.height = logical.height;
  std::wstring text;
  std::vector<size_t> starts;
  for (const Piece& piece : logical.pieces) starts.push_back(text.size()), text += piece.text;
  const std::vector<DirectionRun> runs = rightToLeft || HasRightToLeft(text)
                                             ? VisualRuns(text, rightToLeft)
                                             : std::vector<DirectionRun>{DirectionRun{0, text.size(), false}};
  for (const DirectionRun& run : runs) {
    std::vector<PlacedText> placed;
    for (size_t i = 0; i < logical.pieces.size(); ++i) {
      const Piece& piece = logical.pieces[i];
      const size_t from = std::max(starts[i], run.start);
      const size_t to = std::min(starts[i] + piece.text.size(), run.start + run.length);
      if (from >= to) continue;
      PlacedText part{piece.text.substr(from - starts[i], to - from), piece.font, piece.style, run.rightToLeft, 0,
                      piece.extent};
      if (part.text.size() != piece.text.size()) part.extent = measure(part.text, *piece.font);
      placed.push_back(std::move(part));
    }
    if (run.rightToLeft) std::reverse(placed.begin(), placed.end());
    for (PlacedText& part : placed) {
      part.x = line.width;
      line.width += part.extent.width;
      line.pieces.push_back(std::move(part));
    }
  }
  return line;
}

}  // namespace

unsigned MirroredAlign(unsigned align, bool rightToLeft) {
  if (align & kAlignCenter) return kAlignCenter;
  const unsigned horizontal = align & kAlignRight ? kAlignRight : kAlignLeft;
  return rightToLeft ? (horizontal == kAlignRight ? kAlignLeft : kAlignRight) : horizontal;
}

TextBlock LayOutRuns(const std::vector<TextRun>& runs, const RunFont& fontOf, const TextOptions& options,
                     const MeasureFunction& measure) {
  LineFiller filler(fontOf, options, measure);
  std::vector<const TextRun*> paragraph;
  const std::vector<TextRun> split = SplitLineFeeds(runs);
  for (const TextRun& run : split) {
    if (run.kind == TextRun::Kind::kText) {
      paragraph.push_back(&run);
      continue;
    }
    filler.AddParagraph(paragraph);
    paragraph.clear();
    filler.EndLine(fontOf(run.style), run.kind == TextRun::Kind::kParagraph);
  }
  filler.AddParagraph(paragraph);
  TextBlock block;
  const unsigned align = MirroredAlign(options.align, options.rightToLeft);
  for (const LogicalLine& logical : filler.lines()) {
    TextLine line = ShownOrder(logical, options.rightToLeft, measure);
    float offset = 0;
    if (align == kAlignCenter) offset = (options.width - line.width) / 2;
    else if (align == kAlignRight) offset = options.width - line.width;
    for (PlacedText& piece : line.pieces) piece.x += offset;
    block.width = std::max(block.width, line.width);
    block.height += line.height;
    block.lines.push_back(std::move(line));
  }
  return block;
}

const FontSpec& LayoutFont(int id, const WindowLayout& layout) {
  static const FontSpec kSystem{0, "Tahoma", 12};
  const FontSpec* font = layout.FindFont(id);
  return font ? *font : kSystem;
}

TextBlock LayOutControlText(const Control& control, const std::wstring& text, const WindowLayout& layout,
                            float width, const MeasureFunction& measure) {
  const std::vector<TextRun> runs =
      control.look.markup ? ParseMarkup(text).runs : std::vector<TextRun>{TextRun{TextRun::Kind::kText, text, {}}};
  const RunFont fontOf = [&](const TextStyle& style) -> const FontSpec& {
    return LayoutFont(style.font >= 0 ? style.font : control.look.font, layout);
  };
  const TextOptions options{width, control.look.multiline, control.look.align, layout.rightToLeft};
  return LayOutRuns(runs, fontOf, options, measure);
}

}  // namespace toolkit
