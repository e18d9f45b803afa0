// Brace markup of the language texts: styles, links, breaks, and no crash or
// hang on any truncation or corruption of valid markup.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "toolkit/Markup.h"

namespace {

using toolkit::ParseMarkup;
using toolkit::TextRun;

const std::wstring kProgress =
    L"{f 4}{c #000000}Installing, please wait...{/c} {/f}{f 0}{c #4778FF}%0.f%%{/c}{/f}"
    L"{f 4}{c #000000} completed.{/c}{/f}";

TEST(MarkupTest, StylesNestAndRestore) {
  const auto result = ParseMarkup(kProgress);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_TRUE(result.warnings.empty());
  ASSERT_EQ(result.runs.size(), 4u);
  EXPECT_EQ(result.runs[0].text, L"Installing, please wait...");
  EXPECT_EQ(result.runs[0].style.font, 4);
  EXPECT_EQ(result.runs[0].style.color, 0xFF000000u);
  // The space after "{/c}" keeps the font but drops the colour.
  EXPECT_EQ(result.runs[1].text, L" ");
  EXPECT_EQ(result.runs[1].style.font, 4);
  EXPECT_FALSE(result.runs[1].style.hasColor);
  EXPECT_EQ(result.runs[2].text, L"%0.f%%");
  EXPECT_EQ(result.runs[2].style.color, 0xFF4778FFu);
  EXPECT_EQ(result.runs[3].style.font, 4);
  EXPECT_EQ(result.PlainText(), L"Installing, please wait... %0.f%% completed.");

  const auto alpha = ParseMarkup(L"{c #80aBcDeF}x{/c}y");
  EXPECT_EQ(alpha.runs[0].style.color, 0x80ABCDEFu);
  EXPECT_FALSE(alpha.runs[1].style.hasColor);
}

TEST(MarkupTest, LinksAreNumberedInOrderAndBreaksAreRuns) {
  const auto result = ParseMarkup(
      L"I accept the {a https://x/eula}{u}License{/u}{/a}{n}and the{p}{a https://x/p}Privacy{/a}{/p}");
  EXPECT_TRUE(result.errors.empty());
  ASSERT_EQ(result.links.size(), 2u);
  EXPECT_EQ(result.links[0], L"https://x/eula");
  EXPECT_EQ(result.links[1], L"https://x/p");
  ASSERT_EQ(result.runs.size(), 6u);
  EXPECT_EQ(result.runs[0].style.link, -1);
  EXPECT_EQ(result.runs[1].text, L"License");
  EXPECT_EQ(result.runs[1].style.link, 0);
  EXPECT_TRUE(result.runs[1].style.underline);
  EXPECT_EQ(result.runs[2].kind, TextRun::Kind::kLineBreak);
  EXPECT_EQ(result.runs[4].kind, TextRun::Kind::kParagraph);
  EXPECT_EQ(result.runs[5].style.link, 1);
  EXPECT_FALSE(result.runs[5].style.underline);
}

TEST(MarkupTest, StrayCloserIsToleratedButMalformedMarkupIsReported) {
  const auto stray = ParseMarkup(L"{f 1}Are you sure to cancel installation?{/c}{/f}");
  EXPECT_TRUE(stray.errors.empty());
  ASSERT_EQ(stray.warnings.size(), 1u);
  EXPECT_EQ(stray.PlainText(), L"Are you sure to cancel installation?");

  struct Case { std::wstring text, rendered; };
  const Case cases[] = {
      {L"{f 1}open", L"open"},                      // never closed
      {L"{f 1}{u}x{/f}y", L"xy"},                   // closes over an open tag
      {L"{f x}a{/f}", L"{f x}a"},                   // bad font index: drawn literally
      {L"{c #12345}a", L"{c #12345}a"},             // bad colour
      {L"{q}a", L"{q}a"},                           // unknown tag
      {L"a{f 1", L"a{f 1"},                         // no closing brace
      {L"a{{f 1}b{/f}", L"a{b"},                    // brace inside a brace
      {L"{u 3}a", L"{u 3}a"},                       // argument where none belongs
  };
  for (const Case& c : cases) {
    const auto result = ParseMarkup(c.text);
    EXPECT_FALSE(result.errors.empty()) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(result.PlainText(), c.rendered) << std::string(c.text.begin(), c.text.end());
  }
}

// Every truncation and random corruption of valid markup parses without a
// crash; cut at a tag boundary, it renders a prefix of the full text.
TEST(MarkupTest, TruncatedAndCorruptedMarkupNeverBreaksTheParser) {
  const std::wstring valid = kProgress + L"{n}{a u}{u}{p}link{/p}{/u}{/a}{c #80FFFFFF}t{/c}";
  const std::wstring full = ParseMarkup(valid).PlainText();
  for (size_t length = 0; length <= valid.size(); ++length) {
    const std::wstring prefix = valid.substr(0, length);
    const auto result = ParseMarkup(prefix);
    EXPECT_LE(result.PlainText().size(), prefix.size());
    if (length == valid.size() || valid[length] == L'{') {
      EXPECT_EQ(full.compare(0, result.PlainText().size(), result.PlainText()), 0) << length;
    }
  }
  std::mt19937 random(7);
  const std::wstring alphabet = L"{}/fcaunp #0F1 x";
  for (int round = 0; round < 5000; ++round) {
    std::wstring text = valid;
    for (int edit = 0; edit < 4; ++edit)
      text[random() % text.size()] = alphabet[random() % alphabet.size()];
    const auto result = ParseMarkup(text);
    EXPECT_LE(result.PlainText().size(), text.size() + result.runs.size());
  }
}

}  // namespace
