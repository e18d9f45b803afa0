// Registry access of the win32 backend under HKEY_LOCAL_MACHINE.
#include <gtest/gtest.h>

#include "WinTestUtil.h"

namespace {

class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override { key_ = L"SOFTWARE\\WebSetupTests\\" + wintest::UniqueName(L"Registry"); }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WebSetupTests");
  }
  std::wstring key_;
};

TEST_F(Win32Registry, WriteThenReadRoundTrip) {
  platform::ISystem& system = platform::RealSystem();
  const std::wstring text = L"GA_PC \u00e9\u4e2d 42";
  ASSERT_TRUE(system.RegWriteString(key_, L"Marker", text));
  std::wstring read;
  ASSERT_TRUE(system.RegReadString(key_, L"Marker", &read));
  EXPECT_EQ(read, text);

  // Overwriting replaces the value; names are case-insensitive.
  ASSERT_TRUE(system.RegWriteString(key_, L"Marker", L"short"));
  ASSERT_TRUE(system.RegReadString(key_, L"MARKER", &read));
  EXPECT_EQ(read, L"short");
}

TEST_F(Win32Registry, StoresRegSzWithItsTerminatingNul) {
  ASSERT_TRUE(platform::RealSystem().RegWriteString(key_, L"Value", L"abc"));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, bytes = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"Value", nullptr, &type, nullptr, &bytes), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, 4u * sizeof(wchar_t));
  std::wstring read;
  ASSERT_TRUE(platform::RealSystem().RegReadString(key_, L"Value", &read));
  EXPECT_EQ(read, L"abc");
}

TEST_F(Win32Registry, UserStoreAndKeyOpening) {
  platform::ISystem& system = platform::RealSystem();
  EXPECT_FALSE(system.RegKeyOpens(key_));
  ASSERT_TRUE(system.RegWriteString(key_, L"Value", L"1"));
  EXPECT_TRUE(system.RegKeyOpens(key_));

  ASSERT_TRUE(system.RegWriteUserString(key_, L"Lang", L"ja_JP"));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  wchar_t text[16] = {};
  DWORD type = 0, bytes = sizeof text;
  EXPECT_EQ(RegQueryValueExW(key, L"Lang", nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes), ERROR_SUCCESS);
  RegCloseKey(key);
  RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\WebSetupTests");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, 6u * sizeof(wchar_t));
  EXPECT_STREQ(text, L"ja_JP");
}

TEST_F(Win32Registry, EmptyTextIsWrittenAndReadBack) {
  ASSERT_TRUE(platform::RealSystem().RegWriteString(key_, L"Empty", L""));
  std::wstring read = L"x";
  ASSERT_TRUE(platform::RealSystem().RegReadString(key_, L"Empty", &read));
  EXPECT_EQ(read, L"");
}

TEST_F(Win32Registry, MissingKeyOrValueReadsAsFailure) {
  std::wstring read = L"unchanged";
  EXPECT_FALSE(platform::RealSystem().RegReadString(key_ + L"\\Missing", L"Marker", &read));
  ASSERT_TRUE(platform::RealSystem().RegWriteString(key_, L"Present", L"1"));
  EXPECT_FALSE(platform::RealSystem().RegReadString(key_, L"Absent", &read));
  EXPECT_EQ(read, L"unchanged");
}

TEST_F(Win32Registry, ReadsAtMost260Characters) {
  const std::wstring longText(300, L'x');
  ASSERT_TRUE(platform::RealSystem().RegWriteString(key_, L"Long", longText));
  std::wstring read;
  // The 260-character buffer is too small: the read fails.
  EXPECT_FALSE(platform::RealSystem().RegReadString(key_, L"Long", &read));
  const std::wstring fits(259, L'y');
  ASSERT_TRUE(platform::RealSystem().RegWriteString(key_, L"Fits", fits));
  ASSERT_TRUE(platform::RealSystem().RegReadString(key_, L"Fits", &read));
  EXPECT_EQ(read, fits);
}

// The build number as IsWindows11 reads it: only the first key that opens
// (WOW6432Node, else the native one) is read, CurrentBuild before
// CurrentBuildNumber. Wine's WOW6432Node key exists without these values.
std::wstring ExpectedCurrentBuild() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_ALL_ACCESS,
                    &key) != ERROR_SUCCESS)
    return std::wstring();
  wchar_t buffer[261] = {0};
  DWORD bytes = 260 * sizeof(wchar_t);
  std::wstring value;
  if (RegQueryValueExW(key, L"CurrentBuild", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) ==
      ERROR_SUCCESS) {
    value = buffer;
  } else {
    bytes = 260 * sizeof(wchar_t);
    if (RegQueryValueExW(key, L"CurrentBuildNumber", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &bytes) == ERROR_SUCCESS)
      value = buffer;
  }
  RegCloseKey(key);
  return value;
}

TEST(Win32OsVersion, ReportsVersionNumbersAndBuild) {
  const platform::OsVersionInfo info = platform::RealSystem().OsVersion();
  EXPECT_TRUE(info.ntNumbersKnown);  // RtlGetNtVersionNumbers exists in wine's ntdll too
  EXPECT_GE(info.ntMajor, 5u);
  EXPECT_TRUE(info.versionExKnown);
  EXPECT_EQ(info.platformId, 2u);             // VER_PLATFORM_WIN32_NT
  EXPECT_EQ(info.processorArchitecture, 9u);  // PROCESSOR_ARCHITECTURE_AMD64 (x86_64 test program)
  EXPECT_EQ(info.currentBuild, ExpectedCurrentBuild());
  if (!info.currentBuild.empty()) {
    EXPECT_GT(_wtoi(info.currentBuild.c_str()), 0);
  }
}

}  // namespace
