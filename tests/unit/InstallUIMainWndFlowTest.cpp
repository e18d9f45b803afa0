// The main window's side of the install, headless, with scripted workers
// that post what a real worker posts: the progress estimate of the installer
// run, the failure messages with their boxes and pages, an installer past its
// time limit, the finished page, the CDN failure count, the user's clicks,
// links and Browse, closing at each stage and while a box is up, the
// background run and the end of the install threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "MainWindowFixture.h"
#include "install/CdnFailureCounter.h"
#include "install/InstallFiles.h"
#include "install/InstallMessages.h"
#include "platform/Platform.h"
#include "system/FuntionImpl.h"
#include "toolkit/headless/ScriptedUser.h"
#include "window/Language.h"

namespace {

// Runs posted steps on the UI thread, also while a message box runs modally.
class Stepper : public toolkit::SkinWindow {
 public:
  using SkinWindow::SkinWindow;
  void OnMessage(unsigned, intptr_t, intptr_t) override {
    const std::function<void()> step = std::move(steps.front());
    steps.pop_front();
    step();
  }
  std::deque<std::function<void()>> steps;
};

class InstallFlowTest : public MainWindowTest {
 protected:
  void SetUp() override { ASSERT_TRUE(stepper_.Create(shipped_skin::Archive(), L"", L"MessageBox.xml")); }

  // The next message box that opens, within ten seconds, is answered with `answer`.
  void AnswerNextBox(int answer) { PostAnswer(answer, std::chrono::steady_clock::now() + std::chrono::seconds(10)); }
  void PostAnswer(int answer, std::chrono::steady_clock::time_point until) {
    stepper_.steps.push_back([this, answer, until] {
      for (int window = 64; window > 0; --window) {
        const auto state = bed_.backend.State(window);
        if (state.created && state.visible && state.spec.className == L"MESSAGEBOX_UI_Frame")
          return bed_.loop.EndModal(window, answer);
      }
      if (std::chrono::steady_clock::now() < until) return PostAnswer(answer, until);
      ADD_FAILURE() << "no message box opened";
    });
    stepper_.Post(1);
  }
  // Install pressed with the licence ticked, into a folder of the test.
  void StartInstall(InstallUIMainWnd& window) {
    window.Find("install_path_edit")->look.text = bed_.temp.path().wstring();
    window.Find("license_checkbox")->state.selected = true;
    ASSERT_TRUE(toolkit::ScriptedUser(window).Click("install_btn"));
    bed_.PumpAll();
    ASSERT_EQ(Tab(window, "main_tablayout"), 1);
  }
  void Advance(uint64_t ms) {
    bed_.clock.now += ms;
    bed_.PumpAll();
  }
  // Pumps until `done` holds, for at most ten seconds of real time (workers run beside).
  bool PumpUntil(const std::function<bool()>& done) {
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
      bed_.PumpAll();
      if (done()) return true;
    }
    return false;
  }
  int Tab(InstallUIMainWnd& window, const std::string& tab) { return window.Find(tab)->state.selectedIndex; }
  int Bar(InstallUIMainWnd& window) { return window.Find("install_progress")->state.value; }
  bool OnFailurePage(InstallUIMainWnd& window) {
    return Tab(window, "main_tablayout") == 0 && Tab(window, "page_layout") == 1 &&
           Visible(window, "text_fail_retry") && Visible(window, "text_fail_advice") && Visible(window, "img_warning");
  }
  int Count(const std::string& event) const {
    int count = 0;
    for (const std::string& sent : Events()) count += sent == event;
    return count;
  }
  bool Sent(const std::string& event) const { return Count(event) > 0; }
  // The verification and the start of the installer, as the worker reports them.
  void RunUpToTheInstaller(InstallUIMainWnd& window) {
    window.Post(MSG_VERIFY_STARTED, 0);
    bed_.PumpAll();
    window.State().verificationDone = true;
    window.Post(MSG_INSTALLER_STARTED, 0);
    bed_.PumpAll();
  }

  Stepper stepper_{bed_.loop};
};

// However early or late the installer ends, the bar reaches 100 in at most
// ten half-second steps and only then releases the worker; with or without
// the worker's announcement, which a timer step may overtake.
TEST_F(InstallFlowTest, TheBarRunsTo100FromEveryPointTheInstallerEndsAt) {
  for (int endsAt = 90; endsAt <= 99; ++endsAt) {
    for (const bool announced : {true, false}) {
      if (!announced && endsAt == 99) continue;  // at 99 the estimate has stopped: only the announcement ends it
      auto window = Open();
      StartInstall(*window);
      InstallUIMainWnd::DownloadProgressCallback(100 * 1048576LL, 100 * 1048576LL);
      RunUpToTheInstaller(*window);
      ASSERT_EQ(Bar(*window), 90);
      for (int steps = 0; Bar(*window) < endsAt && steps < 20; ++steps) Advance(500);
      ASSERT_EQ(Bar(*window), endsAt);
      window->State().installerFinished = true;
      if (announced) window->InstallerEnded();
      int steps = 0;
      for (int last = Bar(*window); !window->State().progressFinished.Wait(0) && steps < 30; ++steps) {
        Advance(500);
        EXPECT_GE(Bar(*window), last);
        last = Bar(*window);
      }
      EXPECT_TRUE(window->State().progressFinished.Wait(0)) << endsAt << " " << announced;
      EXPECT_EQ(Bar(*window), 100) << endsAt << " " << announced;
      EXPECT_LE(steps, 11) << endsAt << " " << announced;
    }
  }
}

// A skin without the bar or its label cannot hold the worker: the window's
// own value runs to 100 all the same.
TEST_F(InstallFlowTest, AWindowWithoutABarStillReleasesTheWorker) {
  const auto rename = [](std::string xml) {
    for (const char* name : {"install_progress", "install_label"})
      xml = std::regex_replace(xml, std::regex(std::string("name=\"") + name + "\""), "name=\"renamed\"");
    return xml;
  };
  auto window = Open(bed_.ChangedSkin({{"InstallRunning.xml", rename}}));
  ASSERT_EQ(window->Find("install_progress"), nullptr);
  StartInstall(*window);
  InstallUIMainWnd::DownloadProgressCallback(100 * 1048576LL, 100 * 1048576LL);
  RunUpToTheInstaller(*window);
  window->State().installerFinished = true;
  window->InstallerEnded();
  for (int steps = 0; !window->State().progressFinished.Wait(0) && steps < 30; ++steps) Advance(500);
  EXPECT_TRUE(window->State().progressFinished.Wait(0));
}

// One percent per (estimate + extra time) × 100 ms, the estimate being about
// one second per 17.9 MB; the server's values cannot make a timer of zero,
// negative or days-long steps.
TEST_F(InstallFlowTest, TheInstallerRunEstimateTimesTheBarWithinBounds) {
  struct Case {
    int64_t packageSize;
    int32_t additionalTime;
    int64_t estimate, interval;
  };
  const int64_t mb100 = 100 * 1048576LL;
  const Case cases[] = {{mb100, 0, 5, 500},           {mb100, 30, 5, 3500},         {0, -100, 0, 100},
                        {-1, 0, 0, 100},              {mb100, INT32_MAX, 5, 600000}, {mb100, INT32_MIN, 5, 100},
                        {INT64_MAX, 0, 128674275067, 600000}};
  for (const Case& c : cases) {
    LogCapture log;
    auto window = Open();
    StartInstall(*window);
    window->Configure().additionalTime = c.additionalTime;
    window->State().packageSize = c.packageSize;
    report_.calls.clear();
    RunUpToTheInstaller(*window);
    EXPECT_TRUE(log.Has(" Estimate install time is " + std::to_string(c.estimate) + ", extra install time is " +
                        std::to_string(c.additionalTime) + ", timer elapse is " + std::to_string(c.interval)))
        << c.packageSize << " " << c.additionalTime;
    EXPECT_TRUE(Sent("pair RunningTime/Estimated Duration/EstimatedDurationPar=" + std::to_string(c.estimate)));
    Advance(c.interval - 1);
    EXPECT_EQ(Bar(*window), 90);
    Advance(1);
    EXPECT_EQ(Bar(*window), 91) << c.packageSize << " " << c.additionalTime;
  }
}

// Each failure shows its box (a failed installer none: the page says it),
// then the failure page with "start_app" as retry; the window then closes
// without asking.
TEST_F(InstallFlowTest, EachFailureShowsItsBoxAndTheFailurePage) {
  constexpr int kNoBox = -1;
  struct Case {
    unsigned message;
    intptr_t code;
    int box;
  };
  const Case cases[] = {{MSG_DOWNLOAD_FAILED, 9, kMsgInternetFail},    {MSG_DOWNLOAD_FAILED, 10, kMsgInternetTimeout},
                        {MSG_DOWNLOAD_FAILED, 11, kMsgInternetTimeout}, {MSG_DOWNLOAD_FAILED, 14, kMsgUrlFail},
                        {MSG_DOWNLOAD_FAILED, 1, kMsgUrlFail},          {MSG_DOWNLOAD_FAILED, 17, kMsgNoEnoughSpace},
                        {MSG_SIGNATURE_INVALID, 0, kMsgMd5Fail},
                        {MSG_INSTALL_FAILED, 0, kNoBox}};
  for (const Case& c : cases) {
    LogCapture log;  // before the worker starts, which logs as it ends
    auto window = Open();
    StartInstall(*window);
    window->SetProgress(40);
    report_.calls.clear();
    if (c.box != kNoBox) AnswerNextBox(kMsgResultYes);
    window->Post(c.message, c.code);
    bed_.PumpAll();
    const std::string name = std::to_string(c.message) + "/" + std::to_string(c.code);
    EXPECT_EQ(log.Count(" ShowMsgBox: "), c.box == kNoBox ? 0 : 1) << name;
    if (c.box != kNoBox) {
      EXPECT_TRUE(log.Has(" ShowMsgBox: " + std::to_string(c.box))) << name;
    }
    EXPECT_TRUE(OnFailurePage(*window)) << name;
    EXPECT_FALSE(Visible(*window, "finish_label")) << name;
    ASSERT_FALSE(bed_.backend.Announcements().empty());
    EXPECT_EQ(bed_.backend.Announcements().back(), L"failure page: The installation could not be completed") << name;
    EXPECT_EQ(Text(*window, "start_app"), GetLanguageText("install_page", "retry_btn", English, shipped_skin::Archive()));
    EXPECT_EQ(bed_.backend.State(window->handle()).taskbarState, toolkit::TaskbarState::kError) << name;
    EXPECT_EQ(Sent("Download/8.DownFail/First"), c.message == MSG_DOWNLOAD_FAILED) << name;
    ASSERT_TRUE(toolkit::ScriptedUser(*window).Click("closebtn"));
    bed_.PumpAll();
    EXPECT_EQ(log.Count(" ShowMsgBox: "), c.box == kNoBox ? 0 : 1) << name;
    EXPECT_TRUE(window->State().closing) << name;
    EXPECT_TRUE(Sent("CrashRate/Close/close05")) << name;
  }
}

// A failure box of kind 6 or 7, when it closes, has the package and its
// task file and marker deleted.
TEST_F(InstallFlowTest, TheClearCacheMessageDeletesThePackage) {
  bed_.fake.SetEnv(L"APPDATA", (bed_.temp.path() / "appdata").wstring());
  bed_.fake.AddDrive(bed_.temp.path().wstring() + L"/", 100ull << 30);
  analytics_.SetupPaths(L"QuenloSetupTest");
  auto window = Open();
  const PackageFiles files = PackageFilesOf(*window);
  ASSERT_TRUE(std::filesystem::path(files.package).is_absolute()) << platform::WideToUtf8(files.package);
  FuntionImpl::CreateDirectories(std::filesystem::path(files.package).parent_path().wstring());
  for (const std::wstring* path : {&files.package, &files.taskFile, &files.marker})
    std::ofstream(platform::WideToUtf8(*path)) << "x";
  window->Post(MSG_CLEAR_CACHE, 0);
  bed_.PumpAll();
  for (const std::wstring* path : {&files.package, &files.taskFile, &files.marker})
    EXPECT_FALSE(platform::FileExists(*path)) << platform::WideToUtf8(*path);
}

TEST_F(InstallFlowTest, CdnFailuresAreCountedAndBlockTheCdnFromTheFourth) {
  auto window = Open();
  StartInstall(*window);
  const std::wstring product = window->Configure().productName;
  const std::wstring key = L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;
  bed_.fake.SetRegValue(key, L"RequestTooMuchTimes", L"-7");  // below 1 starts again at 1
  for (const wchar_t* expected : {L"1", L"2", L"3", L"4"}) {
    EXPECT_FALSE(CdnFailureCounter::IsForbidCDN(product));
    AnswerNextBox(kMsgResultYes);
    window->Post(MSG_DOWNLOAD_FAILED, 11);
    bed_.PumpAll();
    EXPECT_EQ(bed_.fake.RegValue(key, L"RequestTooMuchTimes"), expected);
  }
  EXPECT_TRUE(CdnFailureCounter::IsForbidCDN(product));
  // Other failures leave the count alone.
  AnswerNextBox(kMsgResultYes);
  window->Post(MSG_DOWNLOAD_FAILED, 10);
  bed_.PumpAll();
  EXPECT_EQ(bed_.fake.RegValue(key, L"RequestTooMuchTimes"), L"4");
}

// With back running set, closing during the download hides the window and
// the install goes on; then no box shows, a failure reports the box it
// would have shown, and the process ends.
TEST_F(InstallFlowTest, ABackgroundRunAnswersItsBoxesAndEndsAfterAFailure) {
  analytics_.State().SetBackRunning(1);
  auto window = Open();
  StartInstall(*window);
  window->SetProgress(50);
  report_.calls.clear();
  window->Close();
  EXPECT_FALSE(bed_.backend.IsVisible(window->handle()));
  EXPECT_TRUE(analytics_.State().IsBackgroundMode());
  EXPECT_FALSE(window->State().closing);
  EXPECT_TRUE(Sent("pair CloseDownloader/Close/ClosePosition=50%"));
  EXPECT_TRUE(Sent("CrashRate/Close/close02"));

  window->Post(MSG_DOWNLOAD_FAILED, 14);
  bed_.PumpAll();
  EXPECT_EQ(window->AutoAnsweredKind(), kMsgUrlFail);
  EXPECT_TRUE(Sent("pair DownFail/DownFailReason/DownFailError=error_page_8"));
  EXPECT_TRUE(Sent("CrashRate/Close/close05"));
  EXPECT_TRUE(window->State().closing);
}

// A background run that succeeds ends the process three seconds later.
TEST_F(InstallFlowTest, ABackgroundRunEndsAfterSuccess) {
  analytics_.State().SetBackRunning(1);
  auto window = Open();  // NeedStart_flag 1, Gif_duration 3: the finished page
  StartInstall(*window);
  window->Close();
  window->Post(MSG_INSTALL_FINISHED, 0);
  bed_.PumpAll();
  EXPECT_EQ(Tab(*window, "main_tablayout"), 0);
  Advance(2999);
  EXPECT_FALSE(window->State().closing);
  Advance(1);
  EXPECT_TRUE(window->State().closing);
  EXPECT_TRUE(Sent("CrashRate/Close/close06"));
}

// Starting the product at once, without a splash, skips the finished page;
// the close that follows the start ends the process, never staying hidden.
// The product starts before any event that waits for its delivery.
TEST_F(InstallFlowTest, ABackgroundRunEndsWhenItStartsTheProduct) {
  analytics_.State().SetBackRunning(1);
  auto window = Open(bed_.ChangedSkin(WindowTestBed::Entries({{"Gif_duration", "0"}, {"NeedStart_flag", "1"}})));
  StartInstall(*window);
  window->Close();
  ASSERT_TRUE(analytics_.State().IsBackgroundMode());
  const std::filesystem::path folder = bed_.temp.path() / "Quenlo";
  std::ofstream(folder / "Quenlo PDF Editor.exe") << "program";
  window->Configure().loadState = CConfigure::kLoaded;
  window->Configure().processName = L"Quenlo PDF Editor.exe";
  window->Post(MSG_INSTALL_FINISHED, 0);
  bed_.PumpAll();
  EXPECT_EQ(Tab(*window, "main_tablayout"), 1);  // no finished page
  EXPECT_FALSE(window->State().closing);
  std::vector<size_t> startsBeforeWaits;
  report_.observer = [&](const RecordingReport::Call& call) {
    if (call.wait) startsBeforeWaits.push_back(bed_.fake.ShellOpens().size());
  };
  const size_t opensBefore = bed_.fake.ShellOpens().size();
  window->ClickStartApp();
  bed_.PumpAll();
  report_.observer = nullptr;
  ASSERT_FALSE(startsBeforeWaits.empty());
  for (size_t starts : startsBeforeWaits) EXPECT_EQ(starts, opensBefore + 1);
  const auto opens = bed_.fake.ShellOpens();
  ASSERT_FALSE(opens.empty());
  EXPECT_EQ(opens.back().file, L"explorer.exe");  // admin_flag 0: Explorer starts it
  EXPECT_EQ(opens.back().parameters, L"/e, \"" + (folder / "Quenlo PDF Editor.exe").wstring() + L"\"");
  EXPECT_TRUE(Sent("Download/9.StartWindow/0"));
  EXPECT_TRUE(Sent("CrashRate/Close/close07"));
  EXPECT_TRUE(window->State().closing);
}

TEST_F(InstallFlowTest, ClosingReportsWhereAndHowLongTheUserStayed) {
  analytics_.State().SetDownloaderConfig(2);
  auto settings = Open();
  bed_.clock.now += 4000;
  settings->Close();
  EXPECT_TRUE(Sent("CrashRate/Close/close01"));
  EXPECT_TRUE(Sent("pair RunningTime/DurationFordownLoading/UserCloses=4"));
  EXPECT_TRUE(settings->State().closing);

  auto window = Open();
  StartInstall(*window);
  struct Stage {
    int progress;
    std::atomic<uint64_t>* since;
    std::string position, duration;
  };
  InstallState& state = window->State();
  const Stage stages[] = {{84, &state.installClickTick, "close02", "DownloadDuration/UserCloses=5"},
                          {85, &state.md5CheckStartTick, "close04", "VerificationDuration/UserVerificationUserCloses=5"},
                          {91, &state.installerStartTick, "close03", "ActualTime/UserCloses=5"}};
  for (const Stage& stage : stages) {
    report_.calls.clear();
    *stage.since = bed_.clock.now;
    window->SetProgress(stage.progress);
    bed_.clock.now += 5999;
    window->Close();
    EXPECT_TRUE(Sent("CrashRate/Close/" + stage.position)) << stage.progress;
    EXPECT_TRUE(Sent("pair RunningTime/" + stage.duration)) << stage.progress;
    EXPECT_TRUE(Sent("pair CloseDownloader/Close/ClosePosition=" + std::to_string(stage.progress) + "%"));
    EXPECT_TRUE(Sent("Keypoint " + std::string(stage.progress == 84 ? "Downloading" : stage.progress == 85 ? "Md5Check" : "Installing") + " 0 Close"));
    // Downloader config 2: a hidden copy of the program uploads the log.
    const auto copies = bed_.fake.OwnCopies();
    ASSERT_FALSE(copies.empty());
    EXPECT_EQ(copies.back().parameters.rfind(L" -" + platform::Utf8ToWide(stage.position) + L" ", 0), 0u);
    EXPECT_FALSE(copies.back().show);
  }
}

// A click opens the lower panel on the control's tab unless that tab shows open: then it closes.
TEST_F(InstallFlowTest, ThePanelTogglesFollowTheirTabs) {
  auto window = Open(bed_.ChangedSkin(WindowTestBed::Entries({{"NewLicenseFlag", "0"}})));
  toolkit::ScriptedUser user(*window);
  const auto height = [&] { return bed_.backend.State(window->handle()).rect.Height(); };
  const auto settings = [&] { ASSERT_TRUE(user.Click("install_setting")); };
  const auto licence = [&] { ASSERT_TRUE(user.FollowLink("license_link", 0)); };
  const std::vector<std::pair<std::function<void()>, std::pair<int, int>>> clicks = {
      {settings, {560, 1}}, {settings, {360, 1}}, {licence, {560, 0}}, {settings, {560, 1}},
      {licence, {560, 0}},  {licence, {360, 0}},  {settings, {560, 1}}, {licence, {560, 0}}};
  for (size_t i = 0; i < clicks.size(); ++i) {
    clicks[i].first();
    EXPECT_EQ(height(), clicks[i].second.first) << i;
    EXPECT_EQ(Tab(*window, "set_layout"), clicks[i].second.second) << i;
  }
}

// Disagreeing keeps the settings page; agreeing ticks the box and installs.
// The start date and hour go once, also across a retry.
TEST_F(InstallFlowTest, TheLicenceConsentAndTheStartTimeOnce) {
  std::atomic<int> runs{0};
  context_.runInstall = [&](InstallHost&) { return ++runs, -1; };
  bed_.fake.SetUtcTime(platform::LocalTime{2024, 1, 2, 20, 5, 6});
  auto window = Open();
  window->Find("install_path_edit")->look.text = bed_.temp.path().wstring();
  toolkit::ScriptedUser user(*window);
  report_.calls.clear();
  AnswerNextBox(kMsgResultNo);
  ASSERT_TRUE(user.Click("install_btn"));
  bed_.PumpAll();
  EXPECT_EQ(Tab(*window, "main_tablayout"), 0);
  EXPECT_FALSE(window->Find("license_checkbox")->state.selected);
  EXPECT_TRUE(Sent("Download/2.DownStart/"));
  EXPECT_EQ(Events().back(), "pair StartDownloader/PrivacyAgreementPopup/PrivacyAgreementPopupType=Disagree");

  AnswerNextBox(kMsgResultYes);
  ASSERT_TRUE(user.Click("install_btn"));
  bed_.PumpAll();
  EXPECT_TRUE(window->Find("license_checkbox")->state.selected);
  EXPECT_EQ(Tab(*window, "main_tablayout"), 1);
  EXPECT_TRUE(Sent("pair StartDownloader/PrivacyAgreementPopup/PrivacyAgreementPopupType=Agree and install"));
  EXPECT_TRUE(Sent("Download/StartTimeDate/2024-01-03"));
  EXPECT_TRUE(Sent("Download/StartTimeHour/04"));
  EXPECT_TRUE(Sent("Other/SetLanguage/English"));
  EXPECT_TRUE(Sent("Other/SetPath/"));  // the test's folder is not the default

  ASSERT_TRUE(PumpUntil([&] { return runs == 1; }));
  AnswerNextBox(kMsgResultYes);
  window->Post(MSG_DOWNLOAD_FAILED, 14);
  bed_.PumpAll();
  ASSERT_TRUE(OnFailurePage(*window));
  ASSERT_TRUE(PumpUntil([&] { return window->WaitForAllThreadExit(0); }));
  ASSERT_TRUE(user.Click("start_app"));
  bed_.PumpAll();
  EXPECT_TRUE(Sent("Download/8-1.ClickTryAgain/First"));
  EXPECT_EQ(Tab(*window, "main_tablayout"), 1);
  EXPECT_EQ(Bar(*window), 0);
  EXPECT_TRUE(window->State().retry);
  ASSERT_TRUE(PumpUntil([&] { return runs == 2; }));
  EXPECT_EQ(Count("Download/StartTimeDate/2024-01-03"), 1);
  EXPECT_EQ(Count("Download/StartTimeHour/04"), 1);
}

// The advice text's link opens the package address with the installer's
// tracking id; links only ever open web addresses.
TEST_F(InstallFlowTest, LinksOpenOnlyWebAddressesAndCarryTheTrackingId) {
  auto window = Open();
  StartInstall(*window);
  AnswerNextBox(kMsgResultYes);
  window->Post(MSG_DOWNLOAD_FAILED, 14);
  bed_.PumpAll();
  toolkit::ScriptedUser user(*window);
  const std::wstring package = L"https://download.quenlo-example.com/setup/QuenloSetup.exe";
  const auto opened = [&](const std::function<void()>& act) {
    const size_t before = bed_.fake.WebPages().size();
    act();
    const auto pages = bed_.fake.WebPages();
    return pages.size() == before ? std::wstring(L"<nothing>") : pages.back();
  };
  window->SetPackageUrl(package);
  bed_.fake.SetModulePath((bed_.temp.path() / "Setup_abc123.exe").wstring());
  EXPECT_EQ(opened([&] { ASSERT_TRUE(user.FollowLink("text_fail_advice", 0)); }),
            package + L"?rnclid=abc123&package=Setup_abc123.exe");
  EXPECT_TRUE(Sent("Download/8-2.ClickInstallLink/First"));
  bed_.fake.SetModulePath((bed_.temp.path() / "Setup.exe").wstring());
  EXPECT_EQ(opened([&] { ASSERT_TRUE(user.FollowLink("text_fail_advice", 0)); }), package);
  LogCapture log;
  for (const wchar_t* local : {L"file:///C:/Windows/System32/calc.exe", L"C:\\Windows\\System32\\calc.exe",
                               L"\\\\server\\share\\setup.exe", L"https:///etc/passwd"}) {
    window->SetPackageUrl(local);
    EXPECT_EQ(opened([&] { ASSERT_TRUE(user.FollowLink("text_fail_advice", 0)); }), L"<nothing>") << local;
  }
  EXPECT_TRUE(log.Contains(" [Error]: not a web address, not opened: file:///C:/Windows/System32/calc.exe"));

  // The two-link licence text: the first link is the privacy policy, the other the licence.
  auto settings = Open();
  settings->Configure().setLinks("en", L"HTTPS://www.quenlo-example.com/privacy", L"file:///etc/passwd");
  toolkit::ScriptedUser reader(*settings);
  EXPECT_EQ(opened([&] { ASSERT_TRUE(reader.FollowLink("license_link_new", 0)); }),
            L"https://www.quenlo-example.com/privacy");
  EXPECT_EQ(opened([&] { ASSERT_TRUE(reader.FollowLink("license_link_new", 1)); }), L"<nothing>");
  EXPECT_TRUE(log.Has(" Open License Url: file:///etc/passwd"));
}

// A retry pressed while the failed worker is still ending starts nothing and
// returns at once; a banner fetch still running is not started again.
TEST_F(InstallFlowTest, ARetryWhileTheOldWorkerEndsNeitherBlocksNorStartsASecond) {
  std::atomic<int> runs{0}, banners{0};
  ManualResetEvent release, releaseBanners;
  context_.runInstall = [&](InstallHost& host) {
    ++runs;
    host.Post(MSG_DOWNLOAD_FAILED, 14);
    release.Wait(60000);
    return -1;
  };
  context_.fetchBanners = [&](InstallUIMainWnd&) {
    ++banners;
    releaseBanners.Wait(60000);
  };
  auto window = Open();
  window->Find("install_path_edit")->look.text = bed_.temp.path().wstring();
  window->Find("license_checkbox")->state.selected = true;
  toolkit::ScriptedUser user(*window);
  LogCapture log;
  ASSERT_TRUE(user.Click("install_btn"));
  AnswerNextBox(kMsgResultYes);
  ASSERT_TRUE(PumpUntil([&] { return OnFailurePage(*window); }));
  ASSERT_TRUE(user.Click("start_app"));
  EXPECT_TRUE(log.Has(" [Error]: the previous install has not ended yet"));
  EXPECT_TRUE(OnFailurePage(*window));
  EXPECT_EQ(runs, 1);
  release.Set();
  ASSERT_TRUE(PumpUntil([&] { return log.Contains(" Install worker ended: -1"); }));
  // Pressed until the ended thread is seen as ended; each press either starts or is refused.
  ASSERT_TRUE(PumpUntil([&] { return user.Click("start_app") && Tab(*window, "main_tablayout") == 1; }));
  AnswerNextBox(kMsgResultYes);
  ASSERT_TRUE(PumpUntil([&] { return runs == 2 && OnFailurePage(*window); }));
  EXPECT_EQ(banners, 1);
  releaseBanners.Set();
  EXPECT_TRUE(window->WaitForAllThreadExit(10000));
}

// Past its time limit the installer still runs: the "taking longer" box, and
// the running page stays; closing the box clears nothing while the installer
// runs from the package. When it ends, the bar runs to 100 and the finished
// page says that the installation is complete.
TEST_F(InstallFlowTest, PastTheTimeLimitTheInstallGoesOnToTheFinishedPage) {
  analytics_.SetupPaths(L"QuenloSetupTest");
  auto window = Open();
  const PackageFiles files = PackageFilesOf(*window);
  FuntionImpl::CreateDirectories(std::filesystem::path(files.package).parent_path().wstring());
  std::ofstream(platform::WideToUtf8(files.package)) << "running";
  StartInstall(*window);
  RunUpToTheInstaller(*window);
  window->State().installerRunning = true;
  LogCapture log;
  AnswerNextBox(kMsgResultYes);
  window->Post(MSG_INSTALL_TIMEOUT, 0);
  window->Post(MSG_CLEAR_CACHE, 0);  // as the box's buttons post it
  bed_.PumpAll();
  EXPECT_TRUE(log.Has(" ShowMsgBox: 6"));
  EXPECT_TRUE(log.Has(" Clear cache skipped: the installer still runs"));
  EXPECT_TRUE(platform::FileExists(files.package));
  EXPECT_EQ(Tab(*window, "main_tablayout"), 1);
  EXPECT_FALSE(OnFailurePage(*window));

  window->State().installerRunning = false;
  window->State().installerFinished = true;
  window->InstallerEnded();
  for (int steps = 0; !window->State().progressFinished.Wait(0) && steps < 20; ++steps) Advance(500);
  ASSERT_EQ(Bar(*window), 100);
  window->Post(MSG_INSTALL_FINISHED, 0);
  bed_.PumpAll();
  EXPECT_EQ(Tab(*window, "main_tablayout"), 0);
  EXPECT_EQ(Tab(*window, "page_layout"), 1);
  EXPECT_TRUE(Visible(*window, "finish_label"));
  EXPECT_EQ(Text(*window, "finish_label"), L"Installation complete");
  EXPECT_EQ(bed_.backend.Announcements().back(), L"finished page: Installation complete");
  EXPECT_TRUE(Visible(*window, "start_app"));
  EXPECT_FALSE(Visible(*window, "text_fail_retry"));
  ClearAPPData(files);
}

// A skin without the bar or its label cannot move the bar: the worker is
// released as soon as the installer has ended.
TEST_F(InstallFlowTest, ABarThatCannotMoveNeverHoldsTheWorker) {
  for (const std::string control : {"install_progress", "install_label"}) {
    auto window = Open(bed_.ChangedSkin({{"InstallRunning.xml", [&](std::string xml) {
      return std::regex_replace(xml, std::regex("name=\"" + control + "\""), "name=\"gone\"");
    }}}));
    ASSERT_EQ(window->Find(control), nullptr);
    StartInstall(*window);
    RunUpToTheInstaller(*window);
    window->State().installerFinished = true;
    window->InstallerEnded();
    bed_.PumpAll();
    EXPECT_TRUE(window->State().progressFinished.Wait(0)) << control;
  }
}

// A close request while a box is up (WM_CLOSE, the system ending the
// program) ends the box and the loop: nothing stays behind in the box's
// loop, and no box shows after it.
TEST_F(InstallFlowTest, ACloseWhileABoxIsUpEndsTheBoxAndTheLoop) {
  auto window = Open();
  StartInstall(*window);
  LogCapture log;
  bool boxUp = false;
  window->Post(MSG_DOWNLOAD_FAILED, 14);
  stepper_.steps.push_back([&] {
    for (int handle = 1; handle < 64; ++handle)
      boxUp |= bed_.backend.State(handle).spec.className == L"MESSAGEBOX_UI_Frame" && bed_.backend.IsVisible(handle);
    window->Close();
  });
  stepper_.Post(1);
  EXPECT_EQ(bed_.loop.Run(), 0);
  EXPECT_TRUE(boxUp);
  EXPECT_TRUE(window->State().closing);
  for (int handle = 1; handle < 64; ++handle)
    EXPECT_FALSE(bed_.backend.State(handle).spec.className == L"MESSAGEBOX_UI_Frame" && bed_.backend.IsVisible(handle));
  EXPECT_EQ(window->ShowMessageBox(kMsgCancel, L""), kMsgResultNo);
  EXPECT_EQ(log.Count(" ShowMsgBox: "), 2);
}

// The user chooses the install folder through Browse: a cancel keeps the
// box, a folder whose drive cannot be judged is refused with the path box,
// and a chosen folder gets the maker's folder appended.
TEST_F(InstallFlowTest, BrowseChoosesTheFolderThroughTheDialog) {
  auto window = Open();
  window->Show(true);
  const std::filesystem::path apps = bed_.temp.path() / "my apps";
  const std::string script = (bed_.temp.path() / "user.script").string();
  std::ofstream(script) << "click install_setting\nclick browser_btn\ncancel-folder\n"
                        << "click browser_btn\nchoose-folder relative\\apps\nclick btn_yes\n"
                        << "click browser_btn\nchoose-folder " << apps.string() << "\n";
  bed_.backend.FollowScript(script);
  LogCapture log;
  const std::wstring chosen = apps.wstring() + platform::kPathSep + L"Vantrel";
  for (int i = 0; i < 200 && Text(*window, "install_path_edit") != chosen; ++i) bed_.backend.Wait(0);
  EXPECT_EQ(Text(*window, "install_path_edit"), chosen);
  EXPECT_EQ(log.Count(" ShowMsgBox: "), 1);
  EXPECT_TRUE(log.Has(" ShowMsgBox: 4"));
  EXPECT_TRUE(Sent("Other/FlowError/DL009"));
  EXPECT_EQ(window->GetInstallPath(), chosen + platform::kPathSep + L"Quenlo");
}

// A worker waiting for the bar is released when the window closes for good,
// not when it runs on hidden, so that the exit's wait for it ends.
TEST_F(InstallFlowTest, ClosingForGoodReleasesTheWorkerWaitingForTheBar) {
  analytics_.State().SetBackRunning(1);
  ManualResetEvent waiting;
  std::atomic<bool> sawClosing{false};
  context_.runInstall = [&](InstallHost& host) {
    waiting.Set();
    host.State().progressFinished.Wait(600000);
    sawClosing = host.State().closing.load();
    return -1;
  };
  auto window = Open();
  StartInstall(*window);
  ASSERT_TRUE(waiting.Wait(10000));
  window->Close();
  EXPECT_FALSE(window->WaitForAllThreadExit(100));  // runs on hidden
  std::thread([&] { window->CloseWindow(); }).join();
  bed_.PumpAll();
  EXPECT_TRUE(window->WaitForAllThreadExit(10000));
  EXPECT_TRUE(sawClosing);
}

}  // namespace

// A user without a mouse: the settings page's stops (its links among them,
// nothing of the collapsed panel), the close question on Escape and on
// Alt+F4 while the install runs, consent and Install by keys, and each page
// starting on its main button.
TEST_F(InstallFlowTest, TheKeyboardAloneConsentsInstallsAndAsksBeforeClosing) {
  auto window = Open();
  window->Find("install_path_edit")->look.text = bed_.temp.path().wstring();
  const auto name = [](const toolkit::FocusTarget& target) {
    return target.control ? target.control->name() + (target.link >= 0 ? "#" + std::to_string(target.link) : "") : "";
  };
  const auto focus = [&] { return name(window->Focus()); };
  const auto press = [&](toolkit::Key key, unsigned modifiers = 0) {
    const bool acted = window->PressKey(toolkit::KeyPress{key, modifiers});
    bed_.PumpAll();
    return acted;
  };
  const auto names = [&] {
    std::vector<std::string> all;
    for (const toolkit::FocusTarget& stop : window->FocusStops()) all.push_back(name(stop));
    return all;
  };
  const std::vector<std::string> stops = names();
  EXPECT_EQ(stops, (std::vector<std::string>{"minbtn", "closebtn", "install_btn", "license_checkbox",
                                             "license_link_new#0", "license_link_new#1", "install_setting"}));
  EXPECT_EQ(focus(), "install_btn");

  LogCapture log;
  AnswerNextBox(kMsgResultNo);
  EXPECT_TRUE(press(toolkit::Key::kEscape));
  EXPECT_EQ(log.Count(" ShowMsgBox: " + std::to_string(kMsgCancel)), 1u);
  EXPECT_FALSE(window->State().closing);

  // The settings panel opens and closes on Enter, its controls join the
  // stops (the statistics box shows only when the configuration asks).
  ASSERT_TRUE(window->FocusOn(toolkit::FocusTarget{window->Find("install_setting"), -1}));
  EXPECT_TRUE(press(toolkit::Key::kEnter));
  std::vector<std::string> withPanel = stops;
  for (const char* name : {"language_combox", "install_path_edit", "browser_btn"})
    withPanel.push_back(name);
  EXPECT_EQ(names(), withPanel);
  EXPECT_EQ(focus(), "install_setting");
  EXPECT_TRUE(press(toolkit::Key::kEnter));
  EXPECT_EQ(names(), stops);
  for (int i = 0; i < 3; ++i) press(toolkit::Key::kTab, toolkit::kShift);
  EXPECT_EQ(focus(), "license_checkbox");
  EXPECT_TRUE(press(toolkit::Key::kSpace));
  EXPECT_TRUE(window->Find("license_checkbox")->state.selected);
  EXPECT_TRUE(press(toolkit::Key::kTab, toolkit::kShift));
  EXPECT_TRUE(press(toolkit::Key::kEnter));
  ASSERT_EQ(Tab(*window, "main_tablayout"), 1);
  EXPECT_EQ(focus(), "install_minbtn");

  AnswerNextBox(kMsgResultNo);
  EXPECT_TRUE(press(toolkit::Key::kF4, toolkit::kAlt));
  EXPECT_EQ(log.Count(" ShowMsgBox: " + std::to_string(kMsgCancel)), 2u);
  EXPECT_FALSE(window->State().closing);
  EXPECT_EQ(Tab(*window, "main_tablayout"), 1);

  ASSERT_TRUE(PumpUntil([&] { return workerStarts_ == 1; }));
  AnswerNextBox(kMsgResultYes);
  window->Post(MSG_DOWNLOAD_FAILED, 14);
  bed_.PumpAll();
  ASSERT_TRUE(OnFailurePage(*window));
  EXPECT_EQ(focus(), "start_app");
}
