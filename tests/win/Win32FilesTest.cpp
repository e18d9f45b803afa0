// Files, folders and INI files of the win32 backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

// Before windows.h: libcurl's winsock2.h must come first.
#include "unit/SliceDownload.h"
#include "WinTestUtil.h"

namespace {

TEST(Win32Files, PathSeparatorIsBackslash) { EXPECT_EQ(platform::kPathSep, L'\\'); }

TEST(Win32Files, ExistsAndIsDirectory) {
  wintest::WinTempFolder folder(L"Files");
  const std::wstring file = folder.WriteFile(L"a.txt", "x");
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::IsDirectory(file));
  EXPECT_TRUE(platform::FileExists(folder.path()));
  EXPECT_TRUE(platform::IsDirectory(folder.path()));
  EXPECT_FALSE(platform::FileExists(folder.path() + L"\\missing.txt"));
  EXPECT_FALSE(platform::IsDirectory(folder.path() + L"\\missing"));
}

TEST(Win32Files, CreateOneDirectoryReportsWin32Errors) {
  wintest::WinTempFolder folder(L"Mkdir");
  const std::wstring sub = folder.path() + L"\\sub";
  EXPECT_EQ(platform::CreateOneDirectory(sub), platform::kErrorSuccess);
  EXPECT_EQ(platform::CreateOneDirectory(sub), platform::kErrorAlreadyExists);
  EXPECT_EQ(platform::CreateOneDirectory(folder.path() + L"\\no\\such\\parent"),
            platform::kErrorPathNotFound);
}

TEST(Win32Files, ListDirectoryWithoutDotEntries) {
  wintest::WinTempFolder folder(L"List");
  folder.WriteFile(L"one.txt", "1");
  folder.WriteFile(L"two.txt", "2");
  CreateDirectoryW((folder.path() + L"\\sub").c_str(), nullptr);
  std::vector<platform::DirEntry> entries = platform::ListDirectory(folder.path());
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, L"one.txt");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, L"sub");
  EXPECT_TRUE(entries[1].isDirectory);
  EXPECT_EQ(entries[2].name, L"two.txt");
  // A trailing separator gives the same listing; a missing folder none.
  EXPECT_EQ(platform::ListDirectory(folder.path() + L"\\").size(), 3u);
  EXPECT_TRUE(platform::ListDirectory(folder.path() + L"\\missing").empty());
}

class Win32Ini : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = folder_.WriteFile(L"ov_downloader.cfg",
                              "[Settings]\r\n"
                              "TestEnv=1\r\n"
                              "AutoRun=2\r\n"
                              "Name=Quenlo Setup\r\n"
                              "[Other]\r\n"
                              "TestEnv=7\r\n");
  }
  wintest::WinTempFolder folder_{L"Ini"};
  std::wstring file_;
};

TEST_F(Win32Ini, ReadsIntegers) {
  EXPECT_EQ(platform::IniReadInt(file_, L"Settings", L"TestEnv", 0), 1);
  EXPECT_EQ(platform::IniReadInt(file_, L"Settings", L"AutoRun", 0), 2);  // 2 is not 1
  EXPECT_NE(platform::IniReadInt(file_, L"Settings", L"AutoRun", 0), 1);
  EXPECT_EQ(platform::IniReadInt(file_, L"Other", L"TestEnv", 0), 7);
  EXPECT_EQ(platform::IniReadInt(file_, L"settings", L"testenv", 0), 1);  // case-insensitive
}

TEST_F(Win32Ini, MissingKeySectionOrFileGivesTheDefault) {
  EXPECT_EQ(platform::IniReadInt(file_, L"Settings", L"CrashTest", 5), 5);
  EXPECT_EQ(platform::IniReadInt(file_, L"Missing", L"TestEnv", 0), 0);
  EXPECT_EQ(platform::IniReadInt(folder_.path() + L"\\none.cfg", L"Settings", L"TestEnv", 3), 3);
  EXPECT_EQ(platform::IniReadString(file_, L"Missing", L"Name", L"dflt"), L"dflt");
  EXPECT_EQ(platform::IniReadString(folder_.path() + L"\\none.cfg", L"Settings", L"Name", L""), L"");
}

TEST_F(Win32Ini, ReadsStrings) {
  EXPECT_EQ(platform::IniReadString(file_, L"Settings", L"Name", L""), L"Quenlo Setup");
  EXPECT_EQ(platform::IniReadString(file_, L"Settings", L"AutoRun", L""), L"2");
}

TEST_F(Win32Ini, ReadsLongStrings) {
  const std::string longValue(3000, 'v');
  const std::wstring file = folder_.WriteFile(L"long.ini", "[S]\r\nK=" + longValue + "\r\n");
  EXPECT_EQ(platform::IniReadString(file, L"S", L"K", L"").size(), longValue.size());
}

TEST(Win32Text, ConversionsRoundTrip) {
  const std::wstring wide = L"Setup \u00e9\u00fc \u4e2d\u6587 \U0001F600";
  const std::string utf8 = platform::WideToUtf8(wide);
  EXPECT_EQ(utf8, "Setup \xC3\xA9\xC3\xBC \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80");
  EXPECT_EQ(platform::Utf8ToWide(utf8), wide);
  EXPECT_EQ(platform::WideToUtf8(L""), "");
  EXPECT_EQ(platform::Utf8ToWide(""), L"");
  // Exactly the given length, embedded NULs included.
  const std::wstring withNul(L"a\0b", 3);
  EXPECT_EQ(platform::WideToUtf8(withNul), std::string("a\0b", 3));
  EXPECT_EQ(platform::AnsiToWide(platform::WideToAnsi(L"plain ASCII")), L"plain ASCII");
}

}  // namespace

namespace {

// The download pool's file lock is its own: another program that holds
// the name "mutex_for_downloadthread" (here a thread that owns a mutex of
// that name) blocks no write into a download's target.
TEST(Win32Files, ANamedMutexElsewhereBlocksNoDownloadWrite) {
  HANDLE owned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread owner([&] {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"mutex_for_downloadthread");
    SetEvent(owned);
    WaitForSingleObject(release, INFINITE);
    if (mutex) {
      ReleaseMutex(mutex);
      CloseHandle(mutex);
    }
  });
  WaitForSingleObject(owned, INFINITE);
  wintest::WinTempFolder folder(L"DownloadLock");
  auto written = std::async(std::launch::async, [&] {
    SliceDownload slice(std::filesystem::path(folder.path()) / L"target.bin", "http://host/file.bin", 0, 9, 10);
    slice.AcceptPartial();
    return slice.Write("0123456789");
  });
  // Without the lock of its own, the write would wait for the owner forever.
  EXPECT_EQ(written.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  SetEvent(release);
  owner.join();
  EXPECT_EQ(written.get(), 10u);
  CloseHandle(owned);
  CloseHandle(release);
}

}  // namespace
