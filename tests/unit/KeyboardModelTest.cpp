// The keyboard model of a dialog and what a screen reader is told, headless:
// which controls and links Tab reaches and in which order, what each key
// does, where the focus starts and goes when a page changes, and the
// accessible items (roles, names from labels and tooltips, states, values).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "ZipBytes.h"
#include "platform/Platform.h"
#include "toolkit/AccessibleItems.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

using toolkit::Key;
using toolkit::KeyPress;

// 300x300. From the top: a licence row (check box, a text with two links, a
// button), two pages of a tab, three options of a group with a hidden button
// beside them, a labelled combo with a hidden item, a bar, and a scrolling
// panel from y 170 to 270 holding a labelled edit.
const char kLayout[] = R"(<Window size="300,300">
  <Font id="0" name="Tahoma" size="12" default="true"/>
  <VerticalLayout>
    <HorizontalLayout height="30">
      <CheckBox name="agree" width="20"/>
      <Text name="terms" showhtml="true" text="I accept the {a p}Privacy Policy{/a} and the {a t}Terms{/a}"/>
      <Button name="more" width="60" text="More"/>
    </HorizontalLayout>
    <TabLayout name="pages" height="60">
      <HorizontalLayout><Button name="install" text="Install"/><Button name="off" text="Off" enabled="false"/></HorizontalLayout>
      <HorizontalLayout><Button name="start" text="Start"/></HorizontalLayout>
    </TabLayout>
    <HorizontalLayout height="20">
      <Option name="p1" width="20" group="pictures" selected="true" tooltip="First picture"/>
      <Option name="p2" width="20" group="pictures" tooltip="Second picture"/>
      <Option name="p3" width="20" group="pictures" tooltip="Third picture"/>
      <Button name="hidden" visible="false"/>
    </HorizontalLayout>
    <Label name="language" height="20" text="Language"/>
    <Combo name="combo" height="30" selectedid="0">
      <ListLabelElement text=" a"/><ListLabelElement text=" b" visible="false"/><ListLabelElement text=" c"/>
    </Combo>
    <Progress name="bar" height="10" min="0" max="200" value="50"/>
    <VerticalLayout name="panel" height="100" vscrollbar="true">
      <Label name="folder" height="20" text="Folder"/>
      <Edit name="path" height="30" text="C:\Quenlo"/>
      <Control height="200"/>
    </VerticalLayout>
  </VerticalLayout>
</Window>)";

class Dialog : public toolkit::SkinWindow {
 public:
  using SkinWindow::SkinWindow;
  void OnCancel() override { ++cancels; }
  int cancels = 0;
};

class KeyboardModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip_ = ZipBytes({{"main.xml", kLayout}});
    ASSERT_TRUE(archive_.Open(zip_.data(), zip_.size()));
    for (const char* type : {"click", "selectchanged", "itemselect", "link"})
      window_.notify().On("", type, [this](const toolkit::Notification& n) {
        seen_.push_back(n.type + ":" + n.sender->name() + (n.index >= 0 ? ":" + std::to_string(n.index) : ""));
      });
    ASSERT_TRUE(window_.Create(archive_, L"", L"main.xml"));
    window_.SetPrimaryButtons({window_.Find("install"), window_.Find("start")});
  }
  static std::string Name(const toolkit::FocusTarget& target) {
    if (!target.control) return "";
    return target.control->name() + (target.link >= 0 ? "#" + std::to_string(target.link) : "");
  }
  std::vector<std::string> Stops() {
    std::vector<std::string> names;
    for (const toolkit::FocusTarget& stop : window_.FocusStops()) names.push_back(Name(stop));
    return names;
  }
  std::string Focus() { return Name(window_.Focus()); }
  bool Press(Key key, unsigned modifiers = 0) { return window_.PressKey(KeyPress{key, modifiers}); }
  // Tabs until the focus is on `name`; false after a round without it.
  bool TabTo(const std::string& name) {
    for (size_t i = 0; i <= window_.FocusStops().size() && Focus() != name; ++i) Press(Key::kTab);
    return Focus() == name;
  }
  void SetHeight(int height) {
    toolkit::Rect rect = window_.WindowRect();
    rect.bottom = rect.top + height;
    window_.MoveWindow(rect);
  }

  toolkit::HeadlessBackend backend_;
  class Clock : public toolkit::Clock {
   public:
    uint64_t NowMs() const override { return 0; }
  } clock_;
  toolkit::MessageLoop loop_{backend_, clock_};
  std::string zip_;
  toolkit::ResourceArchive archive_;
  Dialog window_{loop_};
  std::vector<std::string> seen_;
};

// Reading order, links included, one stop per option group; hidden and
// disabled controls, and what lies below the window's edge, are left out;
// a right-to-left window reads each line from the right.
TEST_F(KeyboardModelTest, TabReachesWhatShowsInReadingOrderAndWraps) {
  const std::vector<std::string> all = {"agree", "terms#0", "terms#1", "more", "install", "p1", "combo", "panel",
                                        "path"};
  EXPECT_EQ(Stops(), all);
  EXPECT_EQ(Focus(), "install");  // the primary button
  Press(Key::kTab);
  EXPECT_EQ(Focus(), "p1");
  for (int i = 0; i < 4; ++i) Press(Key::kTab);
  EXPECT_EQ(Focus(), "agree");  // past the last stop, round to the first
  Press(Key::kTab, toolkit::kShift);
  EXPECT_EQ(Focus(), "path");

  SetHeight(170);  // the panel lies below the window's edge now
  EXPECT_EQ(Stops(), std::vector<std::string>(all.begin(), all.end() - 2));
  EXPECT_EQ(Focus(), "install");  // the focus was in the panel: back to the primary button
  EXPECT_FALSE(window_.FocusOn(toolkit::FocusTarget{window_.Find("path"), -1}));

  window_.layout().rightToLeft = true;
  EXPECT_EQ(Stops(), (std::vector<std::string>{"more", "terms#0", "terms#1", "agree", "install", "p1", "combo"}));
}

TEST_F(KeyboardModelTest, EachKeyDoesWhatItDoesInADialog) {
  ASSERT_TRUE(TabTo("agree"));
  EXPECT_TRUE(Press(Key::kSpace));  // ticks
  EXPECT_TRUE(Press(Key::kSpace));  // and unticks
  EXPECT_TRUE(Press(Key::kEnter));  // nothing to enter on a check box: the primary button
  Press(Key::kTab);
  EXPECT_FALSE(Press(Key::kSpace));  // a link is followed by Enter only
  Press(Key::kTab);
  EXPECT_TRUE(Press(Key::kEnter));
  ASSERT_TRUE(TabTo("more"));
  EXPECT_TRUE(Press(Key::kEnter));
  EXPECT_EQ(seen_, (std::vector<std::string>{"click:agree", "selectchanged:agree", "click:agree",
                                             "selectchanged:agree", "click:install", "link:terms:1", "click:more"}));
  EXPECT_FALSE(window_.Find("agree")->state.selected);
  seen_.clear();

  // Arrows move within the group, round its ends, and select as they go;
  // in a right-to-left window Left moves on, to the option on its left.
  ASSERT_TRUE(TabTo("p1"));
  EXPECT_TRUE(Press(Key::kDown));
  EXPECT_TRUE(Press(Key::kRight));
  EXPECT_TRUE(Press(Key::kRight));
  EXPECT_EQ(Focus(), "p1");
  EXPECT_TRUE(Press(Key::kUp));
  window_.layout().rightToLeft = true;
  EXPECT_TRUE(Press(Key::kLeft));
  EXPECT_EQ(Focus(), "p2");
  EXPECT_TRUE(window_.Find("p2")->state.selected);
  EXPECT_FALSE(window_.Find("p3")->state.selected);
  EXPECT_EQ(seen_, (std::vector<std::string>{"click:p2", "selectchanged:p2", "click:p3", "selectchanged:p3", "click:p1",
                                             "selectchanged:p1", "click:p3", "selectchanged:p3", "click:p2",
                                             "selectchanged:p2"}));
  window_.layout().rightToLeft = false;
  seen_.clear();

  // A combo's arrows pass over hidden items and stop at the ends; Enter and
  // Space leave it to the backend, which opens its list.
  ASSERT_TRUE(TabTo("combo"));
  EXPECT_TRUE(Press(Key::kDown));
  EXPECT_TRUE(Press(Key::kDown));
  EXPECT_TRUE(Press(Key::kHome));
  EXPECT_TRUE(Press(Key::kEnd));
  EXPECT_FALSE(Press(Key::kEnter));
  EXPECT_FALSE(Press(Key::kSpace));
  EXPECT_EQ(seen_, (std::vector<std::string>{"itemselect:combo:2", "itemselect:combo:0", "itemselect:combo:2"}));

  // A scrolling layout scrolls by line, page and to its ends.
  ASSERT_TRUE(TabTo("panel"));
  toolkit::Control* panel = window_.Find("panel");
  EXPECT_TRUE(Press(Key::kDown));
  EXPECT_EQ(panel->state.scrollY, 24);
  EXPECT_TRUE(Press(Key::kEnd));
  EXPECT_EQ(panel->state.scrollY, 150);
  EXPECT_TRUE(Press(Key::kPageUp));
  EXPECT_EQ(panel->state.scrollY, 50);
  EXPECT_TRUE(Press(Key::kHome));
  EXPECT_EQ(panel->state.scrollY, 0);

  // Escape and Alt+F4 do what the page's close button does; F4 alone nothing.
  EXPECT_TRUE(Press(Key::kEscape));
  EXPECT_TRUE(Press(Key::kF4, toolkit::kAlt));
  EXPECT_FALSE(Press(Key::kF4));
  EXPECT_FALSE(Press(Key::kTab, toolkit::kAlt));
  EXPECT_EQ(window_.cancels, 2);
}

// Each page starts on its primary button, whatever had the focus before;
// an option that the program moves on hands the focus to the selected one.
TEST_F(KeyboardModelTest, ThePrimaryButtonOfEachPageTakesTheFocusWhenThePageShows) {
  ASSERT_TRUE(TabTo("more"));
  toolkit::Control* pages = window_.Find("pages");
  pages->SelectIndex(1);
  window_.Arrange();
  EXPECT_EQ(Focus(), "start");
  EXPECT_EQ(window_.PrimaryButton(), window_.Find("start"));
  ASSERT_TRUE(TabTo("more"));
  EXPECT_EQ(Focus(), "more");  // the same page: the focus stays
  pages->SelectIndex(0);
  window_.Arrange();
  EXPECT_EQ(Focus(), "install");

  ASSERT_TRUE(TabTo("p1"));
  window_.Find("p2")->SetSelected(true);
  EXPECT_EQ(Focus(), "p2");
  window_.Find("p2")->state.visible = false;  // none of the group is selected now: its first
  window_.Arrange();
  EXPECT_EQ(Focus(), "p1");
  window_.Find("p1")->parent()->state.visible = false;
  window_.Arrange();
  EXPECT_EQ(Focus(), "install");
  EXPECT_TRUE(Press(Key::kEnter));
  EXPECT_EQ(seen_.back(), "click:install");
}

// What a screen reader hears, in reading order: names from captions, texts,
// tooltips and the labels next to controls, and the states and values.
TEST_F(KeyboardModelTest, AccessibleItemsNameEveryControlAndSayItsStateAndValue) {
  window_.Find("agree")->SetSelected(true);
  std::vector<std::string> items;
  for (const toolkit::AccessibleItem& item : toolkit::AccessibleItems(window_)) {
    std::string line = std::string(toolkit::AccessibleRoleName(item.role)) + " '" + platform::WideToUtf8(item.name) + "'";
    if (!item.value.empty()) line += " = " + platform::WideToUtf8(item.value);
    const std::pair<unsigned, const char*> states[] = {
        {toolkit::kAccFocused, "focused"}, {toolkit::kAccFocusable, "focusable"}, {toolkit::kAccChecked, "checked"},
        {toolkit::kAccUnavailable, "unavailable"}, {toolkit::kAccDefault, "default"}, {toolkit::kAccLinked, "linked"}};
    for (const auto& [flag, name] : states)
      if (item.states & flag) line += std::string(" ") + name;
    items.push_back(line);
  }
  EXPECT_EQ(items, (std::vector<std::string>{
                       "check button 'I accept the Privacy Policy and the Terms' focusable checked",
                       "static text 'I accept the Privacy Policy and the Terms'",
                       "link 'Privacy Policy' focusable linked",
                       "link 'Terms' focusable linked",
                       "push button 'More' focusable",
                       "push button 'Install' focused focusable default",
                       "push button 'Off' unavailable",
                       "radio button 'First picture' focusable checked",
                       "radio button 'Second picture' focusable",
                       "radio button 'Third picture' focusable",
                       "static text 'Language'",
                       "combo box 'Language' = a focusable",
                       "progress bar '' = 25%",
                       "scroll bar '' = 0% focusable",
                       "static text 'Folder'",
                       "editable text 'Folder' = C:\\Quenlo focusable",
                   }));
}

// The script's user presses keys in the top-most window.
TEST_F(KeyboardModelTest, AScriptUserPressesKeys) {
  const std::string script = ::testing::TempDir() + "keys.script";
  std::ofstream(script) << "key Shift+Tab\nkey Enter\nkey Ctrl+Nothing\nkey Escape\n";
  backend_.FollowScript(script);
  backend_.Wait(0);  // no window shows yet
  EXPECT_TRUE(seen_.empty());
  window_.Show(true);
  for (int i = 0; i < 4; ++i) backend_.Wait(0);
  EXPECT_EQ(seen_, (std::vector<std::string>{"click:more"}));
  EXPECT_EQ(window_.cancels, 1);
}

}  // namespace
