// A window driven by the scripted user: the notifications it sends and their
// order, and which control a press reaches.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ZipBytes.h"
#include "platform/Platform.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/headless/HeadlessBackend.h"
#include "toolkit/headless/ScriptedUser.h"

namespace {

using toolkit::Notification;
using toolkit::Point;

// 400x300: a row of four 100-wide controls at the top, a combo and a link
// text below, and a floating cover over the right half of "under".
const char kLayout[] = R"(<Window size="400,300">
  <VerticalLayout>
    <HorizontalLayout height="40">
      <Button name="under"/>
      <Option name="o1" group="g" selected="true"/>
      <Option name="o2" group="g"/>
      <CheckBox name="check"/>
    </HorizontalLayout>
    <Combo name="combo" height="30"><ListLabelElement text="a"/><ListLabelElement text="b"/></Combo>
    <Text name="links" height="30" showhtml="true" text="{a x}one{/a} and {a y}two{/a}"/>
    <Button name="hidden" height="30" visible="false"/>
    <Button name="disabled" height="30" enabled="false"/>
    <HorizontalLayout height="30" enabled="false"><Button name="insideDisabled"/></HorizontalLayout>
    <Edit name="path" height="30"/>
    <Button name="cover" float="true" pos="50,0,100,40"/>
  </VerticalLayout>
</Window>)";

class SkinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip_ = ZipBytes({{"skin/main.xml", kLayout}});
    ASSERT_TRUE(archive_.Open(zip_.data(), zip_.size()));
    window_.notify().On("", "windowinit", Record());
    for (const char* type : {"click", "selectchanged", "itemselect", "link", "timer"})
      window_.notify().On("", type, Record());
    ASSERT_TRUE(window_.Create(archive_, L"skin\\", L"main.xml"));
  }
  toolkit::NotifyTable::Handler Record() {
    return [this](const Notification& n) {
      seen_.push_back(n.type + ":" + (n.sender ? n.sender->name() : "") + ":" + std::to_string(n.index));
    };
  }

  class Clock : public toolkit::Clock {
   public:
    uint64_t NowMs() const override { return now; }
    uint64_t now = 0;
  } clock_;
  toolkit::HeadlessBackend backend_;
  toolkit::MessageLoop loop_{backend_, clock_};
  std::string zip_;
  toolkit::ResourceArchive archive_;
  toolkit::SkinWindow window_{loop_};
  toolkit::ScriptedUser user_{window_};
  std::vector<std::string> seen_;
};

TEST_F(SkinWindowTest, NotificationsArriveInTheOrderOfTheUsersActions) {
  ASSERT_TRUE(user_.Click("o2"));
  EXPECT_TRUE(user_.Click("o2"));  // a grouped option stays selected
  EXPECT_TRUE(user_.Click("check"));
  EXPECT_TRUE(user_.Click("check"));
  EXPECT_TRUE(user_.ChooseItem("combo", 1));
  EXPECT_FALSE(user_.ChooseItem("combo", 2));
  EXPECT_TRUE(user_.FollowLink("links", 1));
  EXPECT_FALSE(user_.FollowLink("links", 2));
  window_.SetTimer(9, 100);
  clock_.now = 100;
  EXPECT_TRUE(loop_.PumpOnce());
  EXPECT_EQ(seen_, (std::vector<std::string>{
                       "windowinit::-1", "click:o2:-1", "selectchanged:o2:-1", "click:o2:-1",
                       "click:check:-1", "selectchanged:check:-1", "click:check:-1",
                       "selectchanged:check:-1", "itemselect:combo:1", "link:links:1", "timer::9"}));
  EXPECT_TRUE(window_.Find("o2")->state.selected);
  EXPECT_FALSE(window_.Find("o1")->state.selected);
  EXPECT_FALSE(window_.Find("check")->state.selected);
  EXPECT_EQ(window_.Find("combo")->state.selectedIndex, 1);
}

TEST_F(SkinWindowTest, HiddenAndDisabledControlsNeverReceiveAClickAndAFloatWins) {
  EXPECT_FALSE(user_.Click("hidden"));
  EXPECT_FALSE(user_.Click("disabled"));
  EXPECT_FALSE(user_.Click("insideDisabled"));
  EXPECT_FALSE(user_.Click("nosuch"));
  window_.Find("combo")->state.enabled = false;
  EXPECT_FALSE(user_.ChooseItem("combo", 1));
  // The cover lies over x 50..100 of "under"; the uncovered left half is still "under".
  EXPECT_TRUE(user_.Click("under"));
  EXPECT_TRUE(user_.ClickAt(Point{10, 10}));
  EXPECT_FALSE(user_.ClickAt(Point{400, 10}));  // right of the window
  window_.Find("cover")->state.visible = false;
  EXPECT_TRUE(user_.ClickAt(Point{60, 10}));
  EXPECT_EQ(seen_, (std::vector<std::string>{"windowinit::-1", "click:cover:-1", "click:under:-1",
                                             "click:under:-1"}));
}

TEST_F(SkinWindowTest, PostedMessagesReachTheWindowUntilItIsGone) {
  struct Counting : toolkit::SkinWindow {
    using SkinWindow::SkinWindow;
    void OnMessage(unsigned message, intptr_t wparam, intptr_t) override { sum += message * wparam; }
    intptr_t sum = 0;
  };
  int handle = 0;
  {
    Counting counting(loop_);
    ASSERT_TRUE(counting.Create(archive_, L"skin\\", L"main.xml"));
    EXPECT_FALSE(counting.Create(archive_, L"skin\\", L"main.xml"));
    handle = counting.handle();
    EXPECT_TRUE(counting.Post(3, 5));
    EXPECT_TRUE(loop_.PumpOnce());
    EXPECT_EQ(counting.sum, 15);
    EXPECT_TRUE(counting.Post(3, 5));  // dropped with the window
  }
  EXPECT_FALSE(loop_.Post(handle, 1));
  EXPECT_FALSE(loop_.PumpOnce());

  // A window destroyed before its object: nothing finds it, posts are refused.
  Counting destroyed(loop_);
  ASSERT_TRUE(destroyed.Create(archive_, L"skin\\", L"main.xml"));
  destroyed.Show(true);
  EXPECT_TRUE(destroyed.Post(3, 5));
  destroyed.Destroy();
  EXPECT_FALSE(backend_.State(destroyed.handle()).created);
  EXPECT_FALSE(destroyed.Post(3, 5));
  EXPECT_FALSE(loop_.PumpOnce());
  EXPECT_EQ(destroyed.sum, 0);
}

}  // namespace

// A resize lays the controls out again, and a box centres over its owner,
// which its modal loop disables until the box ends.
TEST_F(SkinWindowTest, ResizingRearrangesAndAModalBoxCentresOverItsOwner) {
  window_.MoveWindow(toolkit::Rect{100, 100, 500, 300});
  EXPECT_EQ(window_.Find("combo")->rect.Width(), 400);
  EXPECT_EQ(window_.Find("check")->rect.right, 400);
  window_.MoveWindow(toolkit::Rect{100, 100, 300, 300});
  EXPECT_EQ(window_.Find("check")->rect.right, 200);

  toolkit::WindowSpec spec;
  spec.className = L"BOX";
  spec.owner = window_.handle();
  toolkit::SkinWindow box{loop_};
  ASSERT_TRUE(box.Create(archive_, L"skin\\", L"main.xml", spec));
  box.MoveWindow(toolkit::Rect{0, 0, 100, 50});
  box.Center();
  EXPECT_EQ(backend_.State(box.handle()).spec.className, L"BOX");
  EXPECT_EQ(box.WindowRect(), (toolkit::Rect{150, 175, 250, 225}));
  loop_.Post(box.handle(), 1);
  box.notify().On("", "timer", [&](const Notification&) { box.EndModal(7); });
  box.SetTimer(5, 10);
  clock_.now = 10;
  EXPECT_EQ(box.ShowModal(), 7);
  EXPECT_TRUE(backend_.IsEnabled(window_.handle()));
  EXPECT_FALSE(backend_.IsVisible(box.handle()));
}

// A close request posted from another thread reaches OnClose on the loop's
// thread; one that OnClose leaves unhandled hides the window.
TEST_F(SkinWindowTest, ACloseRequestFromAnyThreadIsDecidedByOnClose) {
  struct Closing : toolkit::SkinWindow {
    using SkinWindow::SkinWindow;
    bool OnClose() override {
      closedOn = std::this_thread::get_id();
      return handled;
    }
    std::thread::id closedOn;
    bool handled = true;
  };
  Closing closing(loop_);
  ASSERT_TRUE(closing.Create(archive_, L"skin\\", L"main.xml"));
  closing.Show(true);
  closing.SetIcon(143);
  std::thread([&] { EXPECT_TRUE(closing.PostClose()); }).join();
  EXPECT_TRUE(loop_.PumpOnce());
  EXPECT_EQ(closing.closedOn, std::this_thread::get_id());
  EXPECT_TRUE(backend_.IsVisible(closing.handle()));
  closing.handled = false;
  closing.Close();
  EXPECT_FALSE(backend_.IsVisible(closing.handle()));
  EXPECT_EQ(backend_.State(closing.handle()).icon, 143);
  EXPECT_FALSE(backend_.HasUser());
}

// A script user waits for each step's control to be reachable in a shown
// window, and takes steps appended to the file while the program runs.
TEST_F(SkinWindowTest, AScriptUserWaitsForReachableControlsAndFollowsAGrowingScript) {
  const std::string script = ::testing::TempDir() + "user.script";
  std::ofstream(script) << "# the user\nclick hidden\n";
  backend_.FollowScript(script);
  backend_.Wait(0);
  window_.Show(true);
  backend_.Wait(0);
  EXPECT_TRUE(seen_.empty() || seen_.back() == "windowinit::-1");
  window_.Find("hidden")->state.visible = true;
  window_.Arrange();
  backend_.Wait(0);
  backend_.Wait(0);
  std::ofstream(script, std::ios::app) << "\nlink links 1\nchoose combo 1\ntype path /opt/my folder\n";
  for (int i = 0; i < 4; ++i) backend_.Wait(0);
  EXPECT_EQ(window_.Find("path")->look.text, L"/opt/my folder");
  ASSERT_GE(seen_.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(seen_.end() - 3, seen_.end()),
            (std::vector<std::string>{"click:hidden:-1", "link:links:1", "itemselect:combo:1"}));
}

// The folder dialog: modal over its window, which it disables, while the
// loop goes on delivering; the script's folder steps answer it (a path with
// blanks, or a cancel), and without a user it is cancelled at once.
TEST_F(SkinWindowTest, TheScriptAnswersTheFolderDialogWhileTheLoopGoesOn) {
  std::vector<std::string> answers;
  bool ownerDisabled = false, dialogShown = false;
  const int watcher = loop_.AddWindow(
      [&](unsigned, intptr_t, intptr_t) {
        ownerDisabled = !backend_.IsEnabled(window_.handle());
        for (int handle = 1; handle < 64; ++handle)
          dialogShown |= backend_.State(handle).spec.className == L"FOLDER_DIALOG" && backend_.IsVisible(handle);
      },
      nullptr);
  window_.notify().On("cover", "click", [&](const Notification&) {
    loop_.Post(watcher, 1);
    std::wstring folder;
    answers.push_back(window_.BrowseForFolder(&folder) ? "chose " + platform::WideToUtf8(folder) : "cancelled");
  });
  window_.Show(true);
  ASSERT_TRUE(user_.Click("cover"));  // nobody to answer
  EXPECT_EQ(answers, std::vector<std::string>{"cancelled"});

  // A folder step waits for the dialog and touches nothing meanwhile.
  const std::string early = ::testing::TempDir() + "early.script";
  std::ofstream(early) << "choose-folder /too/early\n";
  backend_.FollowScript(early);
  const size_t seen = seen_.size();
  for (int i = 0; i < 3; ++i) backend_.Wait(0);
  EXPECT_EQ(seen_.size(), seen);

  const std::string script = ::testing::TempDir() + "folder.script";
  std::ofstream(script) << "click cover\ncancel-folder\nclick cover\nchoose-folder /opt/my apps\n";
  backend_.FollowScript(script);
  for (int i = 0; i < 20 && answers.size() < 3; ++i) backend_.Wait(0);
  EXPECT_EQ(answers, (std::vector<std::string>{"cancelled", "cancelled", "chose /opt/my apps"}));
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(dialogShown);
  EXPECT_TRUE(backend_.IsEnabled(window_.handle()));
}
