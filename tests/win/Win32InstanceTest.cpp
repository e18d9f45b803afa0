// Single-instance guard, COM and firewall of the win32 backend.
#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

#include "WinTestUtil.h"

namespace {

TEST(Win32Mutex, SecondCreateReportsAlreadyExists) {
  const std::wstring name = wintest::UniqueName(L"Zel_Downloader_test");
  uint32_t first = 99;
  std::unique_ptr<platform::NamedMutex> a = platform::CreateOwnedMutex(name, &first);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(first, platform::kErrorSuccess);

  uint32_t second = 0;
  std::unique_ptr<platform::NamedMutex> b = platform::CreateOwnedMutex(name, &second);
  EXPECT_EQ(second, platform::kErrorAlreadyExists);  // 183
  EXPECT_EQ(second, 183u);
  b.reset();

  // Once every handle is closed, the name is free again.
  a->Release();
  a.reset();
  uint32_t third = 99;
  std::unique_ptr<platform::NamedMutex> c = platform::CreateOwnedMutex(name, &third);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(third, platform::kErrorSuccess);
  c->Release();
}

TEST(Win32Mutex, OwnedUntilReleased) {
  const std::wstring name = wintest::UniqueName(L"Zel_Downloader_own");
  uint32_t error = 0;
  std::unique_ptr<platform::NamedMutex> held = platform::CreateOwnedMutex(name, &error);
  ASSERT_NE(held, nullptr);
  // Another thread cannot take it while this thread owns it ...
  DWORD waitWhileHeld = 0;
  std::thread([&] {
    HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    waitWhileHeld = WaitForSingleObject(h, 50);
    if (waitWhileHeld == WAIT_OBJECT_0) ReleaseMutex(h);
    CloseHandle(h);
  }).join();
  EXPECT_EQ(waitWhileHeld, static_cast<DWORD>(WAIT_TIMEOUT));
  // ... and can after Release.
  held->Release();
  DWORD waitAfterRelease = 0;
  std::thread([&] {
    HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    waitAfterRelease = WaitForSingleObject(h, 1000);
    if (waitAfterRelease == WAIT_OBJECT_0) ReleaseMutex(h);
    CloseHandle(h);
  }).join();
  EXPECT_EQ(waitAfterRelease, static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(Win32Instance, NoWindowOfAnUnknownClass) {
  EXPECT_FALSE(platform::FindVisibleInstance(wintest::UniqueName(L"OV_UI_Frame_none"), true));
  EXPECT_FALSE(platform::FindVisibleInstance(L"", false));
  platform::AdvertiseInstance(L"OV_UI_Frame_578");  // a no-op on Windows
}

TEST(Win32Instance, FindsATopLevelWindowOfTheClass) {
  const std::wstring className = wintest::UniqueName(L"OV_UI_Frame_test");
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className.c_str();
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND window = CreateWindowExW(0, className.c_str(), L"Quenlo", WS_POPUP, 0, 0, 60, 40, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (!window) {
    UnregisterClassW(className.c_str(), wc.hInstance);
    GTEST_SKIP() << "no display: a top-level window cannot be created here";
  }
  EXPECT_TRUE(platform::FindVisibleInstance(className, false));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(platform::FindVisibleInstance(className, true));  // ShowWindow + SwitchToThisWindow
  EXPECT_TRUE(IsWindowVisible(window));
  DestroyWindow(window);
  UnregisterClassW(className.c_str(), wc.hInstance);
  EXPECT_FALSE(platform::FindVisibleInstance(className, false));
}

TEST(Win32Com, InitializeAndUninitialize) {
  std::thread([] {
    EXPECT_TRUE(platform::ComInitialize());
    platform::ComUninitialize();
  }).join();
}

TEST(Win32Firewall, KeepsAnApartmentOfAnotherModel) {
  // A thread already in the multithreaded apartment: CoInitializeEx gives
  // RPC_E_CHANGED_MODE, the steps still run and COM is not uninitialised.
  std::thread([] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const std::wstring self = platform::RealSystem().ModulePath();
    const int result = platform::WindowsFirewallAuthorize(self.c_str());
    EXPECT_TRUE(result == 0 || result == -1) << result;
    // Still initialised as before: a second MTA init answers S_FALSE.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
  }).join();
}

}  // namespace
