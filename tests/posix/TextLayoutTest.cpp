// How texts break into lines and in which order their parts are shown, with
// ICU's line breaks and bidirectional order and the headless backend's
// metrics (a character of a 12-pixel font advances 6 pixels, a line is 16).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/Bidi.h"
#include "toolkit/LineBreak.h"
#include "toolkit/TextLayout.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

const toolkit::FontSpec kFont{0, "Tahoma", 12};

toolkit::TextBlock LayOut(const std::wstring& text, float width, bool rightToLeft = false,
                          unsigned align = toolkit::kAlignLeft) {
  static toolkit::HeadlessBackend backend;
  const std::vector<toolkit::TextRun> runs{toolkit::TextRun{toolkit::TextRun::Kind::kText, text, {}}};
  return toolkit::LayOutRuns(
      runs, [](const toolkit::TextStyle&) -> const toolkit::FontSpec& { return kFont; },
      toolkit::TextOptions{width, true, align, rightToLeft},
      [](const std::wstring& piece, const toolkit::FontSpec& font) { return backend.MeasureText(piece, font, ""); });
}

// Each line's text as shown, from left to right.
std::vector<std::wstring> Lines(const toolkit::TextBlock& block) {
  std::vector<std::wstring> lines;
  for (const toolkit::TextLine& line : block.lines) {
    std::wstring text;
    for (const toolkit::PlacedText& piece : line.pieces) text += piece.text;
    lines.push_back(text);
  }
  return lines;
}

// The positions where a line may break.
std::vector<size_t> Breaks(const std::wstring& text) {
  std::vector<size_t> at;
  const std::vector<bool> breaks = toolkit::LineBreaks(text);
  for (size_t i = 0; i < breaks.size(); ++i)
    if (breaks[i]) at.push_back(i);
  return at;
}

using Texts = std::vector<std::wstring>;

TEST(TextLayoutTest, JapaneseBreaksBetweenCharactersButNeverBeforeClosingPunctuation) {
  // これは、日本語です。: a break may come before any character but 、 and 。
  EXPECT_EQ(Breaks(L"これは、日本語です。"), (std::vector<size_t>{1, 2, 4, 5, 6, 7, 8}));
  // Four characters fit a 24-pixel line; 。 takes the last one with it.
  EXPECT_EQ(Lines(LayOut(L"使用软件。", 24)), (Texts{L"使用软", L"件。"}));
  EXPECT_EQ(Lines(LayOut(L"使用、软件", 12)), (Texts{L"使", L"用、", L"软件"}));
}

TEST(TextLayoutTest, ThaiBreaksBetweenWordsNeverInsideOne) {
  // ที่ | เป็น | ซอฟต์แวร์: no spaces, yet three words; none is cut.
  const std::wstring thai = L"ที่เป็นซอฟต์แวร์";
  const std::vector<size_t> breaks = Breaks(thai);
  EXPECT_EQ(breaks.front(), 3u);
  EXPECT_NE(std::find(breaks.begin(), breaks.end(), 7u), breaks.end());
  for (const size_t at : breaks) EXPECT_TRUE(at == 3 || at == 7 || at == 12) << at;
  for (const std::wstring& line : Lines(LayOut(thai, 30)))
    EXPECT_TRUE(line == L"ที่" || line == L"เป็น" || line == L"ซอฟต์" || line == L"แวร์" || line == L"ซอฟต์แวร์")
        << line.size();
}

TEST(TextLayoutTest, WordsKeepTheirSpacesAndLineEndsStartLines) {
  // A word longer than a line is cut where the line is full, at a character's end.
  EXPECT_EQ(Lines(LayOut(L"abcdefghijklmnopqrstuvwxyz", 100)), (Texts{L"abcdefghijklmnop", L"qrstuvwxyz"}));
  // A mark stays with its letter (each code point advances 6 pixels here).
  EXPECT_EQ(Lines(LayOut(L"ae\u0301io\u0301u", 12)), (Texts{L"a", L"e\u0301", L"i", L"o\u0301", L"u"}));
  EXPECT_EQ(Lines(LayOut(L"abcdefgh abcdefgh", 100)), (Texts{L"abcdefgh", L"abcdefgh"}));
  EXPECT_EQ(Lines(LayOut(L"abcdefgh abcdefg   ", 100)), (Texts{L"abcdefgh abcdefg   "}));  // blanks may pass the edge
  const toolkit::TextBlock feeds = LayOut(L"abc\n\nabc abc", 100);
  EXPECT_EQ(Lines(feeds), (Texts{L"abc", L"", L"abc abc"}));
  EXPECT_EQ(feeds.height, 3 * 16);
  EXPECT_TRUE(LayOut(L"", 100).lines.size() == 1 && LayOut(L"", 100).width == 0);
}

// A right-to-left paragraph shows its first word at the right; a run of
// Latin letters and digits inside it keeps its own order.
TEST(TextLayoutTest, MixedDirectionsComeInReadingOrder) {
  // "اقرأ PDF 3.1" read from the right: اقرأ, then "PDF 3.1" from its left.
  const std::wstring arabic = L"\u0627\u0642\u0631\u0623";
  const toolkit::TextBlock block = LayOut(arabic + L" PDF 3.1", 200, true, toolkit::kAlignLeft);
  ASSERT_EQ(block.lines.size(), 1u);
  const auto& pieces = block.lines[0].pieces;
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].text + pieces[1].text, L"PDF 3.1");
  EXPECT_FALSE(pieces[0].rightToLeft || pieces[1].rightToLeft);
  EXPECT_EQ(pieces[2].text, arabic + L" ");
  EXPECT_TRUE(pieces[2].rightToLeft);
  EXPECT_LT(pieces[0].x, pieces[1].x);
  EXPECT_LT(pieces[1].x, pieces[2].x);
  // Left alignment in a right-to-left window means its start: the right edge.
  EXPECT_FLOAT_EQ(pieces[2].x + pieces[2].extent.width, 200);
  // A left-to-right paragraph keeps an Arabic word in its place.
  const toolkit::TextBlock english = LayOut(L"Open " + arabic + L" now", 200);
  ASSERT_EQ(english.lines[0].pieces.size(), 4u);
  EXPECT_EQ(english.lines[0].pieces[0].text, L"Open ");
  EXPECT_EQ(english.lines[0].pieces[1].text, arabic);
  EXPECT_TRUE(english.lines[0].pieces[1].rightToLeft);
  EXPECT_EQ(english.lines[0].pieces[2].text + english.lines[0].pieces[3].text, L" now");
  EXPECT_FLOAT_EQ(english.lines[0].pieces[0].x, 0);
  EXPECT_TRUE(toolkit::HasRightToLeft(arabic));
  EXPECT_FALSE(toolkit::HasRightToLeft(L"PDF 3.1"));
}

}  // namespace
