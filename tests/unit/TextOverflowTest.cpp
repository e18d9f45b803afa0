// Text that does not fit its control is logged, measured in the fonts its
// markup picks, line by line, and a wrapping text by its lines' height, with
// the headless backend's metrics (a character advances half the font size,
// a line is the font size and a third).
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
    <Text name="wrapped" height="48" multiline="true" text="abcdefgh abcdefgh abcdefgh"/>
    <Text name="tall" height="32" multiline="true" text="abcdefgh abcdefgh abcdefgh"/>
  </VerticalLayout>
</Window>)";

TEST(TextOverflowTest, LogsTextWiderOrTallerThanItsControlInTheFontsOfItsRuns) {
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
  EXPECT_EQ(toolkit::TextHeight(*layout.root.Find("tall"), 100, layout, backend), 3 * 16);
  EXPECT_EQ(toolkit::LogTextOverflows(layout, backend), 4);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{" Text overflows wide: text 66 x 16, room 60 x 20",
                                                   " Text overflows big: text 110 x 26, room 100 x 20",
                                                   " Text overflows bigfont: text 110 x 26, room 100 x 20",
                                                   " Text overflows tall: text 48 x 48, room 100 x 32"}));
}

}  // namespace
