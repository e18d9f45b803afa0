// The main window on the shipped skin, headless: its initialisation and
// launch analytics, the start-up language and the combo, the progress rules,
// the licence row and height, the language templates, message boxes in
// background mode, and a worker calling back while the window goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "LogCapture.h"
#include "MainWindowFixture.h"
#include "toolkit/TextOverflow.h"
#include "toolkit/headless/ScriptedUser.h"
#include "window/InstallUIMainWnd.h"
#include "window/Language.h"
#include "window/LanguageTemplate.h"

namespace {

const std::wstring kMarkerKey = L"SOFTWARE\\Vantrel\\Downloader2.5.0";

TEST_F(MainWindowTest, InitialisationSendsTheLaunchAnalyticsAndThePcEventsOncePerMachine) {
  LogCapture log;
  auto first = Open(shipped_skin::Archive(), L"OV_UI_Frame_578");
  const std::vector<std::string> launch = {
      "CrashRate/Start/",           "Keypoint null 0 Start",
      "PC/SysOS/" + analytics_.OsText(), "PC/SysLanguage/English_United States",
      "PC/SysScreenResolution/1920*1080", "Download/1.Launch/",
      "CoreFuncEvent BeforeDownload 0 CoreFuncStart", "CoreFuncEvent BeforeDownload 1 Launch",
      "CoreFuncEvent BeforeDownload 0 CoreFuncEnd",   "Other/ClickToShowTime/0"};
  EXPECT_EQ(Events(), launch);
  EXPECT_EQ(bed_.fake.RegValue(kMarkerKey, L"GA_PC"), L"1");
  // The language and the product version, from the initialisation and from the fetch.
  for (const RecordingReport::Call& call : report_.Of("SetExtraCommon")) {
    EXPECT_NE(call.text.find("\"tools_lang\" : \"en\""), std::string::npos) << call.text;
    EXPECT_NE(call.text.find("\"product_version\" : \"1.0.0.0\""), std::string::npos) << call.text;
  }
  EXPECT_EQ(report_.Of("SetExtraCommon").size(), 2u);
  // The steps' log lines in their order.
  const std::vector<std::string> lines = log.Lines();
  std::vector<size_t> at;
  for (const char* step : {" CreateEvent successfully ", " Request For Product Config -- [Downloader Id]: 578 "
                           "[Site Id]: 10 [Language Id]: 1033", " [event] CrashRate, Start, ",
                           " GetLanguageByLocalSystem: 1033", " [event] Other, ClickToShowTime, 0"})
    at.push_back(std::find(lines.begin(), lines.end(), step) - lines.begin());
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()) && at.back() < lines.size()) << ::testing::PrintToString(at);

  // The window as initialised: collapsed, its icon, failure controls hidden,
  // the default folder, the licence box unticked.
  const toolkit::HeadlessBackend::WindowState state = bed_.backend.State(first->handle());
  EXPECT_EQ(state.spec.className, L"OV_UI_Frame_578");
  EXPECT_EQ(state.spec.style, 0x800A0000u);
  EXPECT_EQ(state.spec.title, L"Quenlo");
  EXPECT_EQ(state.icon, InstallUIMainWnd::kIconResource);
  EXPECT_EQ(state.rect.Height(), 360);
  EXPECT_FALSE(Visible(*first, "text_fail_retry") || Visible(*first, "text_fail_advice") ||
               Visible(*first, "img_warning"));
  EXPECT_EQ(Text(*first, "install_path_edit"), platform::ProgramFilesFolder() + platform::kPathSep + L"Vantrel");
  EXPECT_FALSE(first->Find("license_checkbox")->state.selected);
  EXPECT_FALSE(first->State().progressFinished.Wait(0));
  first.reset();

  // Another publisher's product names its own window.
  report_.calls.clear();
  auto second = Open(bed_.ChangedSkin(WindowTestBed::Entries({{"Software_name", "Zorvex"}})));
  EXPECT_EQ(bed_.backend.State(second->handle()).spec.className, L"OV_UI_Frame");
  EXPECT_EQ(bed_.backend.State(second->handle()).spec.title, L"Zorvex");
  std::vector<std::string> withoutPc = launch;
  withoutPc.erase(withoutPc.begin() + 2, withoutPc.begin() + 5);
  EXPECT_EQ(Events(), withoutPc);
}

TEST_F(MainWindowTest, AutoRunTicksTheLicenceAndPressesInstallAfterTwoSeconds) {
  bed_.SetAutoRun(true);
  auto window = Open();
  EXPECT_TRUE(window->Find("license_checkbox")->state.selected);
  EXPECT_TRUE(report_.Of("AddGa4Event").empty());  // analytics is off
  window->Find("install_path_edit")->look.text = bed_.temp.path().wstring();
  bed_.clock.now += 1999;
  bed_.PumpAll();
  EXPECT_EQ(window->Find("main_tablayout")->state.selectedIndex, 0);
  bed_.clock.now += 1;
  bed_.PumpAll();
  EXPECT_EQ(window->Find("main_tablayout")->state.selectedIndex, 1);  // the install runs
  EXPECT_TRUE(window->WaitForAllThreadExit(5000));
  EXPECT_EQ(workerStarts_, 1);
}

// The system's language where its combo item is shown; English otherwise.
TEST_F(MainWindowTest, TheWindowStartsInTheSystemsLanguageUnlessItsItemIsHidden) {
  const std::vector<std::pair<uint16_t, EnumLanguage>> cases = {
      {1041, Japanese}, {3076, ChineseTrad}, {1055, Turkish}, {1081, English}, {1066, English}, {5121, English}};
  for (const auto& [id, language] : cases) {
    bed_.fake.SetLanguage(id);
    auto window = Open();
    EXPECT_EQ(window->CurrentLanguage(), language) << id;
    EXPECT_EQ(window->Find("language_combox")->state.selectedIndex, language) << id;
    EXPECT_EQ(Text(*window, "install_btn"), GetLanguageText("install_page", "install_btn", language, shipped_skin::Archive()))
        << id;
    EXPECT_EQ(Text(*window, "license_text"), Text(*window, GetLicenseControlName(language))) << id;
    EXPECT_EQ(window->FunnelToolsLang(), GetLanguageCode(language)) << id;
  }
}

// The combo's items are the languages in EnumLanguage order, six of them
// hidden; choosing one applies that language.
TEST_F(MainWindowTest, TheComboItemsAreTheLanguagesInTheirOrder) {
  const std::vector<std::wstring> names = {
      L" English", L" 日本語",    L" 简体中文", L" Español", L" Deutsch", L" Français", L" Русский",
      L" Português", L" العربية", L" Italiano", L" 繁體中文", L" 한국어", L" Nederlands",
      L" Bahasa Indonesia", L" Türkçe", L" हिन्दी", L" ไทย", L" Bahasa Melayu", L" Svenska",
      L" Čeština", L" Tiếng Việt"};
  const std::set<int> hidden = {Indonesian, Hindi, Malay, Swedish, Czech, Vietnamese};
  LogCapture log;
  auto window = Open();
  const auto& items = window->Find("language_combox")->children();
  ASSERT_EQ(items.size(), static_cast<size_t>(kLanguageCount));
  toolkit::ScriptedUser user(*window);
  window->SetWindowCollapsed(false);  // the settings panel shows the combo
  window->Find("set_layout")->SelectIndex(1);
  window->Arrange();
  for (int value = kLanguageCount - 1; value >= 0; --value) {
    const auto language = static_cast<EnumLanguage>(value);
    EXPECT_EQ(items[value]->look.text, names[value]) << value;
    EXPECT_EQ(items[value]->state.visible, !hidden.count(value)) << value;
    if (hidden.count(value)) continue;
    ASSERT_TRUE(user.ChooseItem("language_combox", value));
    EXPECT_EQ(window->CurrentLanguage(), language);
    EXPECT_EQ(Text(*window, "select_language_text"),
              GetLanguageText("install_page", "select_language_text", language, shipped_skin::Archive()));
    EXPECT_TRUE(log.Has(" ChangeLanguageTo: " + platform::WideToUtf8(GetLanguageFileName(language))));
    EXPECT_NE(report_.calls.back().text.find("\"tools_lang\" : \"" + GetLanguageCode(language) + "\""),
              std::string::npos);
  }
}

// Each language's licence is wholly inside its area, scrolled to the end,
// and the area ends with the text and a blank end of 24 pixels, so that the
// scroll stops where the licence stops.
TEST_F(MainWindowTest, TheLicenceAreaEndsWhereTheLicenceEndsInEveryLanguage) {
  auto window = Open();
  toolkit::ScriptedUser user(*window);
  window->SetWindowCollapsed(false);
  toolkit::Control* setLayout = window->Find("set_layout");
  const toolkit::Control* text = window->Find("license_text");
  const toolkit::Control* area = window->Find("license_text_layout");
  toolkit::Control* panel = window->Find("license_panel");
  const auto& items = window->Find("language_combox")->children();
  for (int value = 0; value < kLanguageCount; ++value) {
    const auto language = static_cast<EnumLanguage>(value);
    if (!items[value]->state.visible) continue;
    setLayout->SelectIndex(1);
    window->Arrange();
    ASSERT_TRUE(user.ChooseItem("language_combox", value)) << value;
    setLayout->SelectIndex(0);
    panel->state.scrollY = 1 << 20;
    window->Arrange();
    ASSERT_EQ(text->look.text, window->Find(GetLicenseControlName(language))->look.text) << value;
    const int width = text->rect.Width() - text->layout.inset.left - text->layout.inset.right;
    const int needed = toolkit::TextHeight(*text, width, window->layout(), bed_.backend);
    EXPECT_GT(needed, 20 * 16) << value;
    EXPECT_EQ(area->layout.height, needed + text->layout.padding.top + text->layout.padding.bottom + 24) << value;
    EXPECT_EQ(area->rect.bottom, panel->rect.bottom - panel->layout.inset.bottom) << value;
  }
}

TEST_F(MainWindowTest, ProgressNeverGoesBackAndTheDownloadFillsExactly85) {
  auto window = Open();
  toolkit::Control* bar = window->Find("install_progress");
  window->SetProgress(10);
  EXPECT_EQ(bar->state.value, 10);
  EXPECT_NE(Text(*window, "install_label").find(L"10%"), std::wstring::npos);
  EXPECT_EQ(bed_.backend.State(window->handle()).taskbarPercent, 10);
  window->Find("install_label")->look.text = L"unchanged";
  window->SetProgress(10);
  window->SetProgress(5);
  EXPECT_EQ(bar->state.value, 10);
  EXPECT_EQ(Text(*window, "install_label"), L"unchanged");
  EXPECT_EQ(bed_.backend.State(window->handle()).taskbarPercent, 10);

  // From a worker: posted, shown once the UI thread runs it.
  const int64_t total = 10 * 1048576;
  std::vector<int> results;
  const auto callBack = [&](int64_t downloaded, int64_t size) {
    std::thread([&] { results.push_back(InstallUIMainWnd::DownloadProgressCallback(downloaded, size)); }).join();
  };
  callBack(total / 2, total);
  EXPECT_EQ(bar->state.value, 10);
  bed_.PumpAll();
  EXPECT_EQ(bar->state.value, 42);
  callBack(0, 0);
  callBack(-5, -1);
  callBack(total, total);
  callBack(2 * total, total);
  bed_.PumpAll();
  EXPECT_EQ(results, (std::vector<int>{42, 0, 0, 85, 85}));
  EXPECT_EQ(bar->state.value, 85);
  window->SetProgress(84);
  EXPECT_EQ(bar->state.value, 85);
  std::vector<std::string> sizes;
  for (const std::string& event : Events())
    if (event.rfind("Other/PackageSize/", 0) == 0) sizes.push_back(event);
  EXPECT_EQ(sizes, (std::vector<std::string>{"Other/PackageSize/10.00MB"}));

  // Each window has its own "ProgressFinish100": another window's does not release it.
  window->State().progressFinished.Set();
  auto other = Open();
  EXPECT_FALSE(other->State().progressFinished.Wait(0));
  EXPECT_TRUE(window->State().progressFinished.Wait(0));
}

// Only "1" exactly chooses the newer licence row, with the configuration's links as fallbacks.
TEST_F(MainWindowTest, TheLicenceRowFollowsNewLicenseFlagExactly) {
  for (const std::string flag : {"1", "1 ", ""}) {
    auto window = Open(bed_.ChangedSkin(WindowTestBed::Entries({{"NewLicenseFlag", flag}})));
    const bool newer = flag == "1";
    EXPECT_EQ(window->Find("license_link") == nullptr, newer) << "[" << flag << "]";
    EXPECT_EQ(window->Find("license_link_new") == nullptr, !newer) << "[" << flag << "]";
    EXPECT_EQ(window->Configure().getLicenseUrl("en"),
              newer ? L"https://www.quenlo-example.com/terms-of-service.html" : L"")
        << "[" << flag << "]";
  }
}

// A configured licence height of the older layout leaves no blank space
// below a short licence either.
TEST_F(MainWindowTest, AShortLicenceGetsAShortAreaWhateverTheConfiguredHeight) {
  bed_.fake.SetLanguage(3082);  // Spanish
  for (const char* flag : {"0", "1"}) {
    auto changes = WindowTestBed::Entries({{"LicenseHeightLang03", "2000"}, {"NewLicenseFlag", flag}});
    // Plain string search: std::regex over the licence file takes minutes
    // in the Windows build.
    changes["License.xml"] = [](std::string xml) {
      const std::string marker = "name=\"license_spanish\" text=\"";
      const size_t start = xml.find(marker) + marker.size();
      return xml.replace(start, xml.find('"', start) - start, "Licencia breve.");
    };
    auto window = Open(bed_.ChangedSkin(changes));
    ASSERT_EQ(Text(*window, "license_text"), L"Licencia breve.");
    EXPECT_LT(window->Find("license_text_layout")->layout.height, 100) << flag;
  }
}

TEST(LanguageTemplate, OnlyTheExpectedConversionIsFilled) {
  for (const wchar_t* number : {L"%0.f%%", L"Space : %.1fGB", L"%f", L"%-5.2f", L"%% %+05.0f %%"})
    EXPECT_TRUE(IsTemplateFor(number, TemplateArg::kNumber)) << number;
  for (const wchar_t* bad : {L"", L"no conversion", L"%d", L"%s", L"%n", L"%*.f", L"%.100f", L"%lf", L"%f %f",
                             L"%0.f% done", L"%"})
    EXPECT_FALSE(IsTemplateFor(bad, TemplateArg::kNumber)) << bad;
  EXPECT_TRUE(IsTemplateFor(L"Space required : %s", TemplateArg::kText));
  for (const wchar_t* bad : {L"%ls", L"%10s", L"%s %s", L"%s %d", L"%.1f"})
    EXPECT_FALSE(IsTemplateFor(bad, TemplateArg::kText)) << bad;
  EXPECT_EQ(FillTemplate(L"{c #4778FF}%0.f%%{/c} done", 42.0), L"{c #4778FF}42%{/c} done");
  EXPECT_EQ(FillTemplate(L"Space available : %.1fGB", 12.34), L"Space available : 12.3GB");
  EXPECT_EQ(FillTemplate(L"100%% of %s", std::wstring(L"%d 2 GB")), L"100% of %d 2 GB");
  EXPECT_EQ(FillTemplate(L"%d", 1.0), L"");
}

// A language file whose templates hold other conversions: the window logs
// it and formats with English's templates.
TEST_F(MainWindowTest, ALanguageTemplateWithOtherConversionsFallsBackToEnglish) {
  bed_.fake.SetLanguage(1031);  // German
  const auto tamper = [](std::string xml) {
    xml = std::regex_replace(xml, std::regex("%0\\.f%%"), "%s%n%%");
    return std::regex_replace(xml, std::regex("%\\.1f GB"), "%d GB");
  };
  LogCapture log;
  auto window = Open(bed_.ChangedSkin({{"language/language_german.xml", tamper}}));
  ASSERT_EQ(window->CurrentLanguage(), German);
  window->SetProgress(42);
  const std::wstring english = GetLanguageText("install_page", "install_label", English, shipped_skin::Archive());
  EXPECT_EQ(Text(*window, "install_label"), FillTemplate(english, 42.0));
  EXPECT_EQ(Text(*window, "space_free"), L"Space available : 0.0GB");
  EXPECT_TRUE(log.Contains(" [Error]: the language's install_label is no template"));
}

// The taskbar button, Alt+Tab and screen readers name the product of the
// embedded configuration, whoever publishes it.
TEST_F(MainWindowTest, TheWindowIsTitledWithTheEmbeddedProductName) {
  auto shipped = Open();
  EXPECT_EQ(bed_.backend.State(shipped->handle()).spec.title, L"Quenlo");
  auto other = Open(bed_.ChangedSkin(WindowTestBed::Entries({{"Software_name", "Acme Writer"}})));
  EXPECT_EQ(bed_.backend.State(other->handle()).spec.title, L"Acme Writer");
}

TEST_F(MainWindowTest, InBackgroundModeMessageBoxesAnswerYesUnseen) {
  auto window = Open();
  analytics_.State().SetBackgroundMode();
  LogCapture log;
  EXPECT_EQ(window->ShowMessageBox(kMsgCancel, L""), kMsgResultYes);
  EXPECT_EQ(window->ShowMessageBox(kMsgAgree, L""), kMsgResultYes);
  EXPECT_EQ(window->ShowMessageBox(kMsgInstallTimeout, L""), kMsgResultYes);
  EXPECT_EQ(window->AutoAnsweredKind(), kMsgInstallTimeout);
  EXPECT_FALSE(bed_.backend.State(window->handle() + 1).created);  // no box was made
  EXPECT_TRUE(log.Has(" ShowMsgBox: 14"));
}

// A download worker keeps calling back while the window goes: no call
// reaches the window after it went (an address sanitizer build shows it).
TEST_F(MainWindowTest, AWorkerCallingBackWhileTheWindowGoesNeverReachesIt) {
  auto window = Open();
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0}, zeros{0};
  std::thread worker([&] {
    for (int64_t i = 1; !stop; ++i) {
      if (InstallUIMainWnd::DownloadProgressCallback(i % 1000, 1000) == 0) ++zeros;
      ++calls;
    }
  });
  while (calls < 1000) std::this_thread::yield();
  for (int pumps = 0; pumps < 10; ++pumps) bed_.loop.PumpOnce();
  EXPECT_GT(window->Find("install_progress")->state.value, 0);
  window.reset();
  zeros = 0;
  const int before = calls;
  while (calls < before + 1000) std::this_thread::yield();
  stop = true;
  worker.join();
  EXPECT_GE(zeros, 999);  // no window: every call answers 0
}

}  // namespace
