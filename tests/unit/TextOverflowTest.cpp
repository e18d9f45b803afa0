// Text wider than its control is logged, measured in the fonts its markup
// picks, line by line, with the headless backend's metrics (a character
// advances half the font size).
#include <gtest/gtest.h>

#include "LogCapture.h"
#include "ZipBytes.h"
#include "toolkit/LayoutParser.h"
#include "toolkit/LayoutPass.h"
#include "toolkit/TextOverflow.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

// Font 0 advances 6 pixels a character, font 1 advances 10.
const char kLayout[] = R"(<Window size="100,300">
  <Font id="0" name="Tahoma" size="12" default="true"/>
  <Font id="1" name="Tahoma" size="20"/>
  <VerticalLayout>
    <Label name="fits" width="60" height="20" text="abcdefghij"/>
    <Label name="wide" width="60" height="20" text="abcdefghijk"/>
    <Label name="lines" height="40" showhtml="true" text="{f 1}abcdefghij{/f}{n}abcdefghijklmnop"/>
    <Label name="big" height="20" showhtml="true" text="{c #FF0000}{f 1}abcdefghijk{/f}{/c}"/>
    <Label name="bigfont" height="20" font="1" text="abcdefghijk"/>
    <Label name="hidden" height="20" visible="false" text="abcdefghijklmnopqrstuvwxyz"/>
    <Text name="wrapped" height="60" multiline="true" text="abcdefghijklmnopqrstuvwxyz"/>
  </VerticalLayout>
</Window>)";

TEST(TextOverflowTest, LogsTextWiderThanItsControlInTheFontsOfItsRuns) {
  const std::string zip = ZipBytes({{"skin/main.xml", kLayout}});
  toolkit::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
  toolkit::LayoutParser parser(archive, L"skin\\");
  toolkit::WindowLayout layout;
  ASSERT_TRUE(parser.ParseWindow(L"main.xml", &layout)) << parser.error();
  toolkit::ArrangeWindow(&layout.root, layout.size);
  toolkit::HeadlessBackend backend;

  EXPECT_EQ(toolkit::TextWidth(*layout.root.Find("lines"), layout, backend), 100);
  LogCapture log;
  EXPECT_EQ(toolkit::LogTextOverflows(layout, backend), 3);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{" Text overflows wide: text width 66, rectangle width 60",
                                                   " Text overflows big: text width 110, rectangle width 100",
                                                   " Text overflows bigfont: text width 110, rectangle width 100"}));
}

// Wrapped as the painter wraps: words with their spaces, a word that does
// not fit starting the next line, a line feed too; 16 pixels a line.
TEST(TextOverflowTest, WrappedTextTakesALineForEachWrapAndLineFeed) {
  toolkit::HeadlessBackend backend;
  const toolkit::FontSpec font{0, "Tahoma", 12};
  EXPECT_EQ(backend.MeasureWrapped(L"abcdefghijklmnopqrstuvwxyz", font, 100), 16);  // no place to break
  EXPECT_EQ(backend.MeasureWrapped(L"abcdefgh abcdefgh", font, 100), 2 * 16);
  EXPECT_EQ(backend.MeasureWrapped(L"abcdefgh abcdefg   ", font, 100), 16);  // trailing spaces may pass the edge
  EXPECT_EQ(backend.MeasureWrapped(L"abc\n\nabc abc", font, 100), 3 * 16);
  EXPECT_EQ(backend.MeasureWrapped(L"使用Quenlo软件使用软件使用软件", font, 60), 2 * 16);  // 16 characters
  EXPECT_EQ(backend.MeasureWrapped(L"", font, 100), 0);
}

}  // namespace
