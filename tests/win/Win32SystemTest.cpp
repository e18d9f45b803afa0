// System queries of the win32 backend: environment, clock, WOW64, language,
// region, drives, screen; web pages through the desktop shell.
#include <gtest/gtest.h>

#include <exdisp.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "WinTestUtil.h"

namespace {

platform::ISystem& Real() { return platform::RealSystem(); }

// Whether the desktop shell lists its desktop among its shell windows: the
// shell of a new Wine prefix comes up with the first window, a moment later.
bool DesktopShellUp() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool up = false;
  IShellWindows* windows = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                 reinterpret_cast<void**>(&windows)))) {
    VARIANT desktop, none;
    VariantInit(&desktop);
    VariantInit(&none);
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    long window = 0;
    IDispatch* found = nullptr;
    up = windows->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &found) == S_OK;
    if (found) found->Release();
    windows->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return up;
}

TEST(Win32System, SystemIsTheRealBackendByDefault) { EXPECT_EQ(&platform::System(), &Real()); }

TEST(Win32System, EnvironmentVariables) {
  const std::wstring name = wintest::UniqueName(L"SETUP_TEST_VAR");
  bool found = true;
  EXPECT_EQ(Real().GetEnv(name, &found), L"");
  EXPECT_FALSE(found);
  ASSERT_TRUE(SetEnvironmentVariableW(name.c_str(), L"C:\\Users\\t\u00e9st\\AppData"));
  EXPECT_EQ(Real().GetEnv(name, &found), L"C:\\Users\\t\u00e9st\\AppData");
  EXPECT_TRUE(found);
  const std::wstring longValue(5000, L'x');
  ASSERT_TRUE(SetEnvironmentVariableW(name.c_str(), longValue.c_str()));
  EXPECT_EQ(Real().GetEnv(name), longValue);
  SetEnvironmentVariableW(name.c_str(), nullptr);
  EXPECT_EQ(Real().GetEnv(name, &found), L"");
  EXPECT_FALSE(found);
  EXPECT_FALSE(Real().GetEnv(L"APPDATA").empty());
}

TEST(Win32System, LocalAndUtcClock) {
  const platform::LocalTime local = Real().Now();
  const platform::LocalTime utc = Real().UtcNow();
  EXPECT_GE(local.year, 2024);
  EXPECT_GE(utc.year, 2024);
  EXPECT_GE(local.month, 1);
  EXPECT_LE(local.month, 12);
  EXPECT_GE(utc.day, 1);
  EXPECT_LE(utc.day, 31);
  EXPECT_LE(utc.hour, 23);
  EXPECT_LE(utc.millisecond, 999);
}

TEST(Win32System, NotWow64InA64BitProgram) {
  // The x86_64 test program is native: IsWow64Process reports false.
  EXPECT_FALSE(Real().IsWow64());
}

TEST(Win32System, UiLanguageIsTheSystemsOne) {
  EXPECT_EQ(Real().UserDefaultUILanguage(), GetUserDefaultUILanguage());
  EXPECT_NE(Real().UserDefaultUILanguage(), 0);
}

TEST(Win32System, RegionIsTwoLettersOrUnknown) {
  const std::wstring region = Real().SystemRegion();
  EXPECT_TRUE(region.empty() || region.size() == 2) << platform::WideToUtf8(region);
}

TEST(Win32Drives, LogicalDrivesIncludeFixedC) {
  const std::vector<std::wstring> drives = Real().LogicalDrives();
  ASSERT_FALSE(drives.empty());
  for (const std::wstring& root : drives) {
    ASSERT_EQ(root.size(), 3u);
    EXPECT_EQ(root.substr(1), L":\\");
  }
  ASSERT_NE(std::find(drives.begin(), drives.end(), L"C:\\"), drives.end());
  EXPECT_EQ(Real().DriveType(L"C:\\"), platform::kDriveFixed);
}

TEST(Win32Drives, FreeSpaceOfCIsReadable) {
  uint64_t bytes = 0;
  ASSERT_TRUE(Real().FreeBytesAvailable(L"C:\\", &bytes));
  EXPECT_GT(bytes, 0u);
  EXPECT_FALSE(Real().FreeBytesAvailable(L"Q:\\no\\such\\folder\\", &bytes));
}

TEST(Win32Drives, StorageQueriesNeverFailLoudly) {
  // Wine may not answer the storage IOCTLs: only the shape of the answers.
  const int bus = Real().BusType(L"C:\\");
  EXPECT_GE(bus, 0);
  bool penalty = true;
  (void)Real().SeekPenalty(L"C:\\", &penalty);
  // Not a drive letter: not queried at all.
  EXPECT_EQ(Real().BusType(L"1"), 0);
  EXPECT_FALSE(Real().SeekPenalty(L"1", &penalty));
  EXPECT_EQ(Real().BusType(L""), 0);
}

TEST(Win32Drives, SystemVolumeGuidHasNoBraces) {
  const std::wstring guid = Real().SystemVolumeGuid();
  if (guid.empty()) GTEST_SKIP() << "no volume GUID for the system drive here";
  EXPECT_EQ(guid.size(), 36u);
  EXPECT_EQ(guid.find_first_of(L"{}"), std::wstring::npos);
}

TEST(Win32Screen, SizeWhenADisplayExists) {
  platform::ScreenInfo info;
  if (!Real().Screen(&info)) GTEST_SKIP() << "no display";
  EXPECT_GT(info.width, 0);
  EXPECT_GT(info.height, 0);
  EXPECT_GT(info.monitorWidth, 0);
}

// The page goes to the desktop shell, which opens it with the handler the
// user's registry names for its scheme: here a command of the test's own,
// for a scheme of its own, that writes down what it got. Without a desktop
// shell (no display) the page is opened from this process instead.
TEST(Win32WebPage, APageReachesItsHandlerThroughTheDesktopShell) {
  platform::ScreenInfo screen;
  bool shellUp = false;
  if (Real().Screen(&screen))
    for (int i = 0; i < 50 && !(shellUp = DesktopShellUp()); ++i) Sleep(100);
  wintest::WinTempFolder folder(L"WebPage");
  const std::wstring got = folder.path() + L"\\got.txt";
  const std::wstring scheme = L"setuptest" + std::to_wstring(GetCurrentProcessId());  // letters and digits only
  const std::wstring key = L"Software\\Classes\\" + scheme;
  const std::wstring command =
      platform::RealSystem().GetEnv(L"ComSpec") + L" /c echo %1>\"" + got + L"\"";
  ASSERT_TRUE(platform::RealSystem().RegWriteString(key, L"URL Protocol", L""));
  ASSERT_TRUE(platform::RealSystem().RegWriteString(key + L"\\shell\\open\\command", L"", command));

  const platform::WebPageOpened opened = Real().OpenWebPage(scheme + L"://quenlo-example.com/page?lang=en");
  std::string text;
  for (int i = 0; i < 300 && text.find('\n') == std::string::npos; ++i, Sleep(100)) {
    std::ifstream in(got.c_str(), std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
  EXPECT_NE(text.find(platform::WideToUtf8(scheme) + "://quenlo-example.com/page?lang=en"), std::string::npos)
      << text;
  EXPECT_EQ(opened, shellUp ? platform::WebPageOpened::kAsUser : platform::WebPageOpened::kWithOwnRights);
}

}  // namespace
