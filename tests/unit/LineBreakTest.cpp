// Where wrapping lines may break: words keep their spaces, CJK ideographs
// stand alone, Thai breaks between clusters only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/LineBreak.h"

namespace {

using Pieces = std::vector<std::wstring>;

TEST(LineBreakTest, BreaksAfterWordsAroundIdeographsAndBetweenThaiClusters) {
  EXPECT_EQ(toolkit::BreakPieces(L"Read  it carefully."), (Pieces{L"Read  ", L"it ", L"carefully."}));
  EXPECT_EQ(toolkit::BreakPieces(L"使用Quenlo软件。"), (Pieces{L"使", L"用", L"Quenlo", L"软", L"件", L"。"}));
  // A consonant keeps its vowels and tone marks; a leading vowel (เ) joins
  // the consonant after it.
  EXPECT_EQ(toolkit::BreakPieces(L"ที่เป็น ซอฟต์แวร์"),
            (Pieces{L"ที่", L"เป็", L"น ", L"ซ", L"อ", L"ฟ", L"ต์", L"แว", L"ร์"}));
  EXPECT_EQ(toolkit::BreakPieces(L"한국어 ㄱㄴ"), (Pieces{L"한국어 ", L"ㄱㄴ"}));
  EXPECT_TRUE(toolkit::BreakPieces(L"").empty());
}

}  // namespace
