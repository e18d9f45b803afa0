// The message boxes on the shipped skin: each kind's texts, icon and
// buttons, what Yes and the close button do besides answering, and the
// AutoRun answer after one second, driven by a scripted user while the box
// runs modally over its owner.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "WindowTestBed.h"
#include "toolkit/headless/ScriptedUser.h"
#include "window/Language.h"
#include "window/MessageBoxWnd.h"
#include "install/InstallMessages.h"

namespace {

// The owner: records what is posted to it; message 1 runs the next step.
class Owner : public toolkit::SkinWindow {
 public:
  using SkinWindow::SkinWindow;
  void OnMessage(unsigned message, intptr_t, intptr_t) override {
    if (message != kStep) return received.push_back(message);
    const std::function<void()> step = std::move(steps.front());
    steps.pop_front();
    step();
  }
  static constexpr unsigned kStep = 1;
  std::deque<std::function<void()>> steps;
  std::vector<unsigned> received;
};

class MessageBoxWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(owner_.Create(shipped_skin::Archive(), L"", L"MessageBox.xml"));
    owner_.Show(true);
  }
  // Runs a box over the owner; the steps act, in turn, while it is up and
  // before any timer that is due then.
  int Run(MessageBoxWnd& box, std::vector<std::function<void()>> steps) {
    for (auto& step : steps) {
      owner_.steps.push_back(std::move(step));
      owner_.Post(Owner::kStep);
    }
    return box.DoModal(owner_.handle());
  }
  std::wstring TextOf(MessageBoxWnd& box, const std::string& control) { return box.Find(control)->look.text; }

  WindowTestBed bed_;
  Owner owner_{bed_.loop};
};

TEST_F(MessageBoxWndTest, EachKindShowsItsTextsIconAndButtons) {
  MessageBoxWnd ssd(bed_.loop, kMsgSuggestSsd, English, L"D", shipped_skin::Archive());
  EXPECT_EQ(Run(ssd, {[&] { toolkit::ScriptedUser(ssd).Click("btn_yes"); }}), kMsgResultYes);
  EXPECT_NE(TextOf(ssd, "msg_describe").find(L"(D drive)"), std::wstring::npos) << TextOf(ssd, "msg_describe").c_str();
  EXPECT_EQ(TextOf(ssd, "btn_yes"), L"Yes, install there");
  EXPECT_EQ(TextOf(ssd, "btn_no"), L"No, thanks");
  EXPECT_TRUE(ssd.Find("btn_no")->state.visible);
  EXPECT_EQ(ssd.Find("iconimage")->look.bkImage.file, "skin\\message_exclamation.png");
  EXPECT_EQ(bed_.backend.State(ssd.handle()).spec.className, L"MESSAGEBOX_UI_Frame");
  EXPECT_EQ(bed_.backend.State(ssd.handle()).spec.style, 0x96C80000u);

  MessageBoxWnd noDrive(bed_.loop, kMsgSuggestSsd, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(noDrive, {[&] { toolkit::ScriptedUser(noDrive).Click("btn_no"); }}), kMsgResultNo);
  EXPECT_NE(TextOf(noDrive, "msg_describe").find(L"( drive)"), std::wstring::npos);

  // A single-button kind: No hidden, though its caption is set; the help icon of the running product.
  MessageBoxWnd running(bed_.loop, kMsgAppExist, German, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(running, {[&] { EXPECT_FALSE(toolkit::ScriptedUser(running).Click("btn_no")); running.Close(); }}),
            kMsgResultNo);
  EXPECT_FALSE(running.Find("btn_no")->state.visible);
  EXPECT_EQ(TextOf(running, "btn_no"), GetLanguageText("message_page", "NoText", German, shipped_skin::Archive()));
  EXPECT_EQ(TextOf(running, "msg_describe"),
            GetLanguageText("message_page", "AppExistDesText", German, shipped_skin::Archive()));
  EXPECT_EQ(running.Find("iconimage")->look.bkImage.file, "skin\\message_help.png");

  // Kind 1 empties the texts; kind 5 keeps its own layout's.
  MessageBoxWnd finish(bed_.loop, kMsgFinish, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(finish, {[&] { finish.Close(); }}), kMsgResultNo);
  EXPECT_EQ(TextOf(finish, "msg_describe"), L"");
  EXPECT_EQ(TextOf(finish, "btn_yes"), L"");
  MessageBoxWnd notice(bed_.loop, kMsgDownloadNotice, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(notice, {[&] { toolkit::ScriptedUser(notice).Click("btn_yes"); }}), kMsgResultYes);
  EXPECT_EQ(TextOf(notice, "btn_yes"), L"OK");
  EXPECT_EQ(bed_.backend.State(notice.handle()).rect.Width(), 452);
}

TEST_F(MessageBoxWndTest, YesOnCancelHidesTheOwnerAndFailureBoxesClearTheCache) {
  MessageBoxWnd agree(bed_.loop, kMsgAgree, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(agree, {[&] { toolkit::ScriptedUser(agree).Click("btn_yes"); }}), kMsgResultYes);
  EXPECT_TRUE(bed_.backend.IsVisible(owner_.handle()));

  MessageBoxWnd cancel(bed_.loop, kMsgCancel, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(cancel, {[&] { toolkit::ScriptedUser(cancel).Click("btn_yes"); }}), kMsgResultYes);
  EXPECT_FALSE(bed_.backend.IsVisible(owner_.handle()));
  EXPECT_FALSE(bed_.backend.IsVisible(cancel.handle()));
  EXPECT_TRUE(bed_.backend.IsEnabled(owner_.handle()));
  bed_.PumpAll();
  EXPECT_TRUE(owner_.received.empty());

  MessageBoxWnd timeout(bed_.loop, kMsgInstallTimeout, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(timeout, {[&] { toolkit::ScriptedUser(timeout).Click("closebtn"); }}), kMsgResultNo);
  MessageBoxWnd damaged(bed_.loop, kMsgMd5Fail, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(damaged, {[&] { toolkit::ScriptedUser(damaged).Click("btn_yes"); }}), kMsgResultYes);
  MessageBoxWnd unreachable(bed_.loop, kMsgUrlFail, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(unreachable, {[&] { toolkit::ScriptedUser(unreachable).Click("closebtn"); }}), kMsgResultNo);
  bed_.PumpAll();
  EXPECT_EQ(owner_.received, (std::vector<unsigned>{MSG_CLEAR_CACHE, MSG_CLEAR_CACHE}));
}

// AutoRun: a box without No answers Yes itself after one second; a box
// with No waits for the user.
TEST_F(MessageBoxWndTest, AutoRunAnswersSingleButtonBoxesAfterOneSecond) {
  bed_.SetAutoRun(true);
  MessageBoxWnd space(bed_.loop, kMsgNoEnoughSpace, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(space, {[&] { bed_.clock.now += 999; },
                        [&] {
                          EXPECT_TRUE(bed_.backend.IsVisible(space.handle()));
                          bed_.clock.now += 1;
                        }}),
            kMsgResultYes);

  MessageBoxWnd agree(bed_.loop, kMsgAgree, English, L"", shipped_skin::Archive());
  EXPECT_EQ(Run(agree, {[&] { bed_.clock.now += 5000; },
                        [&] {
                          bed_.PumpAll();  // the timers that are due now
                          EXPECT_TRUE(bed_.backend.IsVisible(agree.handle()));
                          toolkit::ScriptedUser(agree).Click("btn_no");
                        }}),
            kMsgResultNo);
}

}  // namespace
