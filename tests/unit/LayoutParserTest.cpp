// XML layouts into the control model: includes, fonts, defaults, pictures,
// option groups, and errors that name the file, line, element and attribute.
#include <gtest/gtest.h>

#include <string>

#include "ZipBytes.h"
#include "toolkit/LayoutParser.h"

namespace {

using toolkit::Control;
using toolkit::ControlKind;
using toolkit::WindowLayout;

const char kMain[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="650,560" caption="0,0,0,310" roundcorner="2,2" showshadow="false" linkcolor="#ff28bf74">
  <Font id="0" name="Tahoma" size="12" default="true"/>
  <Font id="17" name="Microsoft YaHei" size="20" bold="true"/>
  <Default name="Button" value="font=&quot;17&quot; align=&quot;center&quot;"/>
  <Include source="scrollbar.xml"/>
  <VerticalLayout bkcolor="#FFFFFFFF">
    <TabLayout name="main_tablayout" selectedid="1">
      <Include source="page.xml"/>
      <Button name="install_btn" text="Install" width="200" height="40"
              normalimage="file='skin\btn_install.png' source='0,0,200,40' corner='4,4,4,4'"
              hotimage="skin\btn_hot.png"/>
    </TabLayout>
    <Option name="o1" group="g" selected="true"/><Option name="o2" group="g" selected="true"/>
    <Combo name="language_combox"><ListLabelElement text=" English"/><ListLabelElement text=" &#26085;&#26412;&#35486;" visible="false"/></Combo>
  </VerticalLayout>
</Window>)";

class LayoutParserTest : public ::testing::Test {
 protected:
  bool Parse(const Members& members, WindowLayout* layout) {
    zip_ = ZipBytes(members);
    EXPECT_TRUE(archive_.Open(zip_.data(), zip_.size()));
    toolkit::LayoutParser parser(archive_, L"skin\\");
    const bool parsed = parser.ParseWindow(L"main.xml", layout);
    error_ = parser.error();
    return parsed;
  }
  // Parses the main layout with one line replaced, expecting an error.
  std::string ErrorWith(const std::string& from, const std::string& to) {
    std::string main = kMain;
    main.replace(main.find(from), from.size(), to);
    WindowLayout layout;
    EXPECT_FALSE(Parse({{"skin/main.xml", main}, {"skin/scrollbar.xml", "<Window/>"},
                        {"skin/page.xml", "<Label name='p'/>"}}, &layout));
    return error_;
  }

  toolkit::ResourceArchive archive_;
  std::string zip_, error_;
};

TEST_F(LayoutParserTest, BuildsTheTreeWithIncludesFontsDefaultsAndPictures) {
  WindowLayout layout;
  ASSERT_TRUE(Parse({{"skin/main.xml", kMain},
                     {"skin/scrollbar.xml", R"(<Window><Font id="3" name="Arial" size="10"/>
                        <Default name="ScrollBar" value="width=&quot;8&quot; thumbimage=&quot;sb.bmp&quot;"/></Window>)"},
                     {"skin/page.xml", R"(<HorizontalLayout name="page0"><Label name="deep" text="x"/></HorizontalLayout>)"}},
                    &layout))
      << error_;
  EXPECT_EQ(layout.size.width, 650);
  EXPECT_EQ(layout.caption.bottom, 310);
  EXPECT_EQ(layout.linkColor, 0xFF28BF74u);
  ASSERT_EQ(layout.fonts.size(), 3u);  // the included file's font too
  EXPECT_EQ(layout.FindFont(3)->face, "Arial");
  EXPECT_EQ(layout.FindFont(99)->face, "Tahoma");  // falls back to the default
  EXPECT_EQ(layout.root.children()[0]->look.bkColor, 0xFFFFFFFFu);
  // Scrolling layouts draw their bar with the ScrollBar defaults.
  EXPECT_EQ(layout.scrollBar.layout.width, 8);
  EXPECT_EQ(layout.scrollBar.look.thumbImage.file, "sb.bmp");

  Control* tab = layout.root.Find("main_tablayout");
  ASSERT_NE(tab, nullptr);
  EXPECT_EQ(tab->kind(), ControlKind::kTabLayout);
  EXPECT_EQ(tab->state.selectedIndex, 1);
  ASSERT_NE(layout.root.Find("deep"), nullptr);
  EXPECT_EQ(layout.root.Find("deep")->parent()->name(), "page0");

  Control* button = layout.root.Find("install_btn");
  EXPECT_EQ(button->look.font, 17);  // from <Default>
  EXPECT_EQ(button->look.align & toolkit::kAlignCenter, toolkit::kAlignCenter);
  EXPECT_EQ(button->layout.width, 200);
  const toolkit::Picture& normal = button->look.images[toolkit::kImageNormal];
  EXPECT_EQ(normal.file, "skin\\btn_install.png");
  EXPECT_TRUE(normal.hasSource);
  EXPECT_EQ(normal.source, (toolkit::Rect{0, 0, 200, 40}));
  EXPECT_EQ(normal.corner, (toolkit::Rect{4, 4, 4, 4}));
  EXPECT_EQ(button->look.images[toolkit::kImageHot].file, "skin\\btn_hot.png");
  EXPECT_FALSE(button->look.images[toolkit::kImageHot].hasSource);

  // The second option of the group took the selection from the first.
  EXPECT_FALSE(layout.root.Find("o1")->state.selected);
  EXPECT_TRUE(layout.root.Find("o2")->state.selected);
  layout.root.Find("o1")->SetSelected(true);
  EXPECT_FALSE(layout.root.Find("o2")->state.selected);

  Control* combo = layout.root.Find("language_combox");
  ASSERT_EQ(combo->children().size(), 2u);
  EXPECT_EQ(combo->children()[1]->look.text, L" \u65E5\u672C\u8A9E");
  EXPECT_EQ(combo->state.selectedIndex, -1);
  EXPECT_TRUE(combo->SelectIndex(1));
  EXPECT_FALSE(combo->SelectIndex(2));
  Control* first = layout.root.Find("o1");
  EXPECT_TRUE(first->parent()->Remove(first));
  EXPECT_EQ(layout.root.Find("o1"), nullptr);
}

TEST_F(LayoutParserTest, MistakesAreReportedWithFileLineElementAndAttribute) {
  struct Case { std::string from, to, expected; };
  const Case cases[] = {
      {"text=\"Install\"", "txet=\"Install\"", "skin/main.xml:10: <Button name=\"install_btn\">: Button has no attribute \"txet\""},
      {"width=\"200\"", "width=\"wide\"", "skin/main.xml:10: <Button name=\"install_btn\">: attribute width=\"wide\""},
      {"group=\"g\" selected", "group=\"\" selected", "<Option name=\"o1\">: attribute group"},
      {"<Option name=\"o1\"", "<Optoin name=\"o1\"", "skin/main.xml:14: <Optoin name=\"o1\">: unknown element"},
      {"size=\"650,560\"", "size=\"650\"", "skin/main.xml:2: <Window>: attribute size"},
      {"bold=\"true\"", "bolt=\"true\"", "skin/main.xml:4: <Font name=\"Microsoft YaHei\">: Font has no attribute \"bolt\""},
      {"align=&quot;center&quot;", "alig=&quot;center&quot;", "skin/main.xml:5: <Default name=\"Button\">: Button has no attribute \"alig\""},
      {"source=\"scrollbar.xml\"", "source=\"missing.xml\"", "skin/main.xml:6: <Include>: skin/missing.xml: missing"},
      {"hotimage=\"skin\\btn_hot.png\"", "hotimage=\"file='a.png' sorce='1,1,1,1'\"", "attribute hotimage"},
      {"<Combo name=\"language_combox\">", "<Label name=\"l\"><Button/></Label><Combo>",
       "skin/main.xml:15: <Button>: Label cannot hold controls"},
      {"</Window>", "</Windo>", "skin/main.xml: "},
  };
  for (const Case& c : cases) {
    const std::string error = ErrorWith(c.from, c.to);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST_F(LayoutParserTest, IncludeLoopsAndLanguageFilesParse) {
  WindowLayout layout;
  EXPECT_FALSE(Parse({{"skin/main.xml", "<Window><Include source='a.xml'/></Window>"},
                      {"skin/a.xml", "<Window><Include source='a.xml'/></Window>"}},
                     &layout));
  EXPECT_NE(error_.find("nested deeper"), std::string::npos) << error_;

  const std::string zip = ZipBytes({{"language/en.xml",
      "\xEF\xBB\xBF<VerticalLayout><VerticalLayout name='install_page'>"
      "<Label name='install_btn' text='Install'/></VerticalLayout></VerticalLayout>"}});
  toolkit::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
  toolkit::LayoutParser parser(archive, L"language\\");
  Control holder(ControlKind::kVerticalLayout);
  ASSERT_TRUE(parser.ParseControls(L"en.xml", &holder)) << parser.error();
  EXPECT_EQ(holder.Find("install_page")->Find("install_btn")->look.text, L"Install");
}

}  // namespace
