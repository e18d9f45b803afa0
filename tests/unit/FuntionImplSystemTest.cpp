// FuntionImpl system information through the FakeSystem double.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "FakeSystem.h"
#include "system/FuntionImpl.h"
#include "LogCapture.h"
#include "TempFolder.h"
#include "platform/Platform.h"

namespace {

std::wstring Wide(const std::filesystem::path& p) { return platform::Utf8ToWide(p.u8string()); }

const wchar_t kSep = platform::kPathSep;

class FuntionImplSystem : public ::testing::Test {
 protected:
  FuntionImplSystem() { fake_.UseMemoryRegistry(); }

  void SetVersion(unsigned major, unsigned minor, bool workstation = true,
                  unsigned platformId = 2, unsigned arch = 0, bool r2 = false) {
    platform::OsVersionInfo os;
    os.versionExKnown = true;
    os.major = major;
    os.minor = minor;
    os.workstation = workstation;
    os.platformId = platformId;
    os.processorArchitecture = arch;
    os.serverR2 = r2;
    fake_.SetOsVersion(os);
  }
  std::string Name(float* number) { return FuntionImpl::GetOSVersionName(number); }

  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
};

// ---- Windows name and version -------------------------------------------------

TEST_F(FuntionImplSystem, Build22000IsWindows11) {
  platform::OsVersionInfo os;
  os.ntNumbersKnown = true;
  os.ntMajor = 10;
  os.ntBuild = 22000;
  os.currentBuild = L"22000";
  fake_.SetOsVersion(os);
  float number = -1;
  EXPECT_TRUE(FuntionImpl::IsWindows11());
  EXPECT_EQ("Windows 11", Name(&number));
  EXPECT_FLOAT_EQ(11.0f, number);
}

TEST_F(FuntionImplSystem, Version10WithLowerBuildIsWindows10) {
  platform::OsVersionInfo os;
  os.ntNumbersKnown = true;
  os.ntMajor = 10;
  os.ntMinor = 0;
  os.ntBuild = 19045;
  os.currentBuild = L"19045";
  fake_.SetOsVersion(os);
  float number = -1;
  EXPECT_FALSE(FuntionImpl::IsWindows11());
  EXPECT_EQ("Windows 10", Name(&number));
  EXPECT_FLOAT_EQ(10.0f, number);
  os.currentBuild = L"21999";
  fake_.SetOsVersion(os);
  EXPECT_EQ("Windows 10", Name(&number));
}

TEST_F(FuntionImplSystem, Windows11FromTheRegistryWhenTheBackendHasNoBuild) {
  platform::OsVersionInfo os;  // no currentBuild
  os.ntNumbersKnown = true;
  os.ntMajor = 10;
  fake_.SetOsVersion(os);
  EXPECT_FALSE(FuntionImpl::IsWindows11());
  fake_.SetRegValue(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
                    L"22621");
  EXPECT_TRUE(FuntionImpl::IsWindows11());
  // The WOW6432Node key is read first.
  fake_.SetRegValue(L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion",
                    L"CurrentBuild", L"19045");
  EXPECT_FALSE(FuntionImpl::IsWindows11());
  float number = 0;
  EXPECT_EQ("Windows 10", Name(&number));
}

TEST_F(FuntionImplSystem, NtVersion63IsWindows81) {
  platform::OsVersionInfo os;
  os.ntNumbersKnown = true;
  os.ntMajor = 6;
  os.ntMinor = 3;
  fake_.SetOsVersion(os);
  float number = 0;
  EXPECT_EQ("Windows 8.1", Name(&number));
  EXPECT_FLOAT_EQ(8.1f, number);
}

TEST_F(FuntionImplSystem, OtherNtNumbersFallToGetVersionEx) {
  platform::OsVersionInfo os;
  os.ntNumbersKnown = true;
  os.ntMajor = 6;
  os.ntMinor = 1;
  os.versionExKnown = true;
  os.major = 6;
  os.minor = 1;
  fake_.SetOsVersion(os);
  float number = 0;
  EXPECT_EQ("Windows 7", Name(&number));
  EXPECT_FLOAT_EQ(7.0f, number);
}

TEST_F(FuntionImplSystem, VersionExTable) {
  struct Row {
    unsigned major, minor;
    bool workstation;
    unsigned platformId, arch;
    bool r2;
    const char* name;
    float number;
  } rows[] = {
      {4, 0, true, 2, 0, false, "Windows NT 4.0", 0},
      {4, 0, true, 1, 0, false, "Windows 95", 0},
      {4, 10, true, 1, 0, false, "Windows 98", 1},
      {4, 90, true, 1, 0, false, "Microsoft Windows Me", 2},
      {5, 0, true, 2, 0, false, "Windows 2000", 3},
      {5, 1, true, 2, 0, false, "Windows XP", 4},
      {5, 2, true, 2, 9, false, "Windows XP Professional x64 Edition", 5},
      {5, 2, true, 2, 0, true, "Windows Server 2003 R2", 5},
      {5, 2, false, 2, 9, true, "Windows Server 2003 R2", 5},
      {5, 2, false, 2, 9, false, "Windows Server 2003", 5},
      {6, 0, true, 2, 0, false, "Windows Vista", 6},
      {6, 0, false, 2, 0, false, "Windows Server 2008", 6},
      {6, 1, true, 2, 0, false, "Windows 7", 7},
      {6, 1, false, 2, 0, false, "Windows Server 2008 R2", 7},
      {6, 2, true, 2, 0, false, "Windows 8", 8},
      {6, 2, false, 2, 0, false, "Windows Server 2012", 8},
  };
  for (const Row& row : rows) {
    SetVersion(row.major, row.minor, row.workstation, row.platformId, row.arch, row.r2);
    float number = -1;
    EXPECT_EQ(row.name, Name(&number)) << row.major << "." << row.minor;
    EXPECT_FLOAT_EQ(row.number, number) << row.name;
  }
}

TEST_F(FuntionImplSystem, OtherMajorIsErrorAndLeavesTheNumber) {
  SetVersion(7, 0);
  float number = 42;
  EXPECT_EQ("Error", Name(&number));
  EXPECT_FLOAT_EQ(42.0f, number);
  SetVersion(3, 51);
  EXPECT_EQ("Error", Name(&number));
}

TEST_F(FuntionImplSystem, UnlistedMinorGivesAnEmptyName) {
  float number = 42;
  for (unsigned major : {4u, 5u, 6u}) {
    SetVersion(major, 7);
    EXPECT_EQ("", Name(&number)) << major;
    EXPECT_FLOAT_EQ(42.0f, number);
  }
  SetVersion(4, 0, true, 0);  // neither NT nor 9x
  EXPECT_EQ("", Name(&number));
}

TEST_F(FuntionImplSystem, FailedVersionQueryGivesEmptyAndLinuxGivesItsName) {
  fake_.SetOsVersion(platform::OsVersionInfo());
  float number = 42;
  EXPECT_EQ("", Name(&number));
  EXPECT_FLOAT_EQ(42.0f, number);
  platform::OsVersionInfo linuxOs;
  linuxOs.linuxName = "Debian GNU/Linux 12 (bookworm)";
  fake_.SetOsVersion(linuxOs);
  EXPECT_EQ("Debian GNU/Linux 12 (bookworm)", Name(&number));
  EXPECT_FLOAT_EQ(0.0f, number);
  EXPECT_EQ("Debian GNU/Linux 12 (bookworm)", FuntionImpl::GetOSVersionName(nullptr));
}

// ---- language ---------------------------------------------------------------------

TEST_F(FuntionImplSystem, LanguageTableHas143DistinctRows) {
  const auto& table = FuntionImpl::LanguageTable();
  EXPECT_EQ(143u, table.size());
  std::set<uint16_t> ids;
  for (const auto& row : table) {
    EXPECT_TRUE(ids.insert(row.id).second) << row.id;
    EXPECT_NE(std::string::npos, std::string(row.name).find('_')) << row.name;
  }
}

TEST_F(FuntionImplSystem, LanguageNames) {
  EXPECT_EQ("Spanish_Spain (International sort)", FuntionImpl::LanguageNameOf(0x0C0A));
  EXPECT_EQ("Spanish_Spain (Traditional sort)", FuntionImpl::LanguageNameOf(0x040A));
  EXPECT_EQ("0x0c1b_0x0c1b", FuntionImpl::LanguageNameOf(0x0C1B));
  EXPECT_EQ("0xffff_0xffff", FuntionImpl::LanguageNameOf(0xFFFF));
  EXPECT_EQ("Neutral_Neutral", FuntionImpl::LanguageNameOf(0x0000));
  EXPECT_EQ("Norwegian_Norway (Bokm?l)", FuntionImpl::LanguageNameOf(0x0414));
  EXPECT_EQ("Macedonian (FYROM)_Macedonian (FYROM)", FuntionImpl::LanguageNameOf(0x042F));
  EXPECT_EQ("Spanish_Puerto Rico", FuntionImpl::LanguageNameOf(0x500A));
  EXPECT_EQ("Arabic_U.A.E.", FuntionImpl::LanguageNameOf(0x3801));
  fake_.SetLanguage(0x0C0A);
  EXPECT_EQ("Spanish_Spain (International sort)", FuntionImpl::GetUILanguageName());
  fake_.SetLanguage(0x0C1B);
  EXPECT_EQ("0x0c1b_0x0c1b", FuntionImpl::GetUILanguageName());
}

// ---- small queries ----------------------------------------------------------------

TEST_F(FuntionImplSystem, Wow64RegionScreenAndVolume) {
  fake_.SetWow64(true);
  EXPECT_TRUE(FuntionImpl::IsWow64());
  fake_.SetWow64(false);
  EXPECT_FALSE(FuntionImpl::IsWow64());

  LogCapture log;
  fake_.SetRegion(L"ES");
  EXPECT_EQ(L"ES", FuntionImpl::GetSystemRegion());
  EXPECT_TRUE(log.Has(" System Region info is : ES"));

  platform::ScreenInfo screen;
  screen.width = 1920;
  screen.height = 1080;
  screen.monitorWidth = 1536;
  fake_.SetScreen(screen);
  int width = 0, height = 0;
  EXPECT_DOUBLE_EQ(1.25, FuntionImpl::GetScreenInfo(&width, &height));
  EXPECT_EQ(1920, width);
  EXPECT_EQ(1080, height);
  fake_.SetScreen(screen, false);
  EXPECT_DOUBLE_EQ(0.0, FuntionImpl::GetScreenInfo(&width, &height));
  EXPECT_EQ(0, width);

  fake_.SetVolumeGuid(L"0a1b2c3d-1111-2222-3333-444455556666");
  EXPECT_EQ(L"0a1b2c3d-1111-2222-3333-444455556666", FuntionImpl::GetSystemVolumeGuid());
  fake_.SetVolumeGuid(L"\\\\?\\Volume{abc-def}\\");
  EXPECT_EQ(L"abc-def", FuntionImpl::GetSystemVolumeGuid());
  fake_.SetVolumeGuid(L"");
  EXPECT_EQ(L"", FuntionImpl::GetSystemVolumeGuid());
}

TEST_F(FuntionImplSystem, RegistryStringsRoundTrip) {
  EXPECT_EQ(L"", FuntionImpl::ReadRegString(L"SOFTWARE\\Vantrel", L"Lang"));
  EXPECT_TRUE(FuntionImpl::WriteRegString(L"SOFTWARE\\Vantrel", L"Lang", L"es"));
  EXPECT_EQ(L"es", FuntionImpl::ReadRegString(L"software\\vantrel", L"LANG"));
  fake_.SetRegistryWritable(false);
  EXPECT_FALSE(FuntionImpl::WriteRegString(L"SOFTWARE\\Vantrel", L"Lang", L"de"));
  EXPECT_EQ(L"es", FuntionImpl::ReadRegString(L"SOFTWARE\\Vantrel", L"Lang"));
}

TEST_F(FuntionImplSystem, TextConversionsRoundTripNonAscii) {
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80";
  const std::wstring wide = FuntionImpl::Utf8ToWide(utf8);
  EXPECT_EQ(utf8, FuntionImpl::WideToUtf8(wide));
  EXPECT_EQ(static_cast<wchar_t>(0x00FC), wide[2]);
  EXPECT_EQ(static_cast<wchar_t>(0x4E2D), wide[6]);
  EXPECT_EQ("", FuntionImpl::WideToUtf8(L""));
  EXPECT_EQ(L"", FuntionImpl::Utf8ToWide(""));
  // Exactly the given length, embedded NUL included.
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(3u, FuntionImpl::Utf8ToWide(withNul).size());
  EXPECT_EQ(withNul, FuntionImpl::WideToUtf8(FuntionImpl::Utf8ToWide(withNul)));
  EXPECT_EQ("plain ascii", FuntionImpl::AnsiToUtf8("plain ascii"));
}

// ---- time -------------------------------------------------------------------------

TEST_F(FuntionImplSystem, ChinaStandardTimeIsUtcPlusEight) {
  platform::LocalTime utc;
  utc.year = 2023; utc.month = 12; utc.day = 31;
  utc.hour = 20; utc.minute = 30; utc.second = 5; utc.millisecond = 999;
  fake_.SetUtcTime(utc);
  EXPECT_EQ("2024-01-01 04:30:05", FuntionImpl::GetChinaStandardTime());
  utc.year = 2024; utc.month = 2; utc.day = 28; utc.hour = 17; utc.minute = 0; utc.second = 0;
  fake_.SetUtcTime(utc);
  EXPECT_EQ("2024-02-29 01:00:00", FuntionImpl::GetChinaStandardTime());
  utc.year = 2023; utc.month = 2; utc.day = 28; utc.hour = 16; utc.minute = 59; utc.second = 59;
  fake_.SetUtcTime(utc);
  EXPECT_EQ("2023-03-01 00:59:59", FuntionImpl::GetChinaStandardTime());
  utc.year = 2024; utc.month = 6; utc.day = 1; utc.hour = 3; utc.minute = 4; utc.second = 5;
  fake_.SetUtcTime(utc);
  EXPECT_EQ("2024-06-01 11:04:05", FuntionImpl::GetChinaStandardTime());
}

// ---- URLs ---------------------------------------------------------------------------

TEST(FuntionImplHost, HostOfUrl) {
  EXPECT_EQ(L"download.example.com",
            FuntionImpl::GetHostOfUrl(L"https://Download.EXAMPLE.com/files/Setup.exe"));
  EXPECT_EQ(L"cdn.example.com", FuntionImpl::GetHostOfUrl(L"http://CDN.Example.Com/a/b.exe?x=1"));
  EXPECT_EQ(L"", FuntionImpl::GetHostOfUrl(L"http://localhost/path"));  // no "."
  EXPECT_EQ(L"", FuntionImpl::GetHostOfUrl(L""));
  EXPECT_EQ(L"example.com", FuntionImpl::GetHostOfUrl(L"https://example.com"));  // no path
  EXPECT_EQ(L"", FuntionImpl::GetHostOfUrl(L"example.com/path"));                // no scheme
  // The host libcurl will ask, not the text before the first ".": no user
  // name, none of the path's dots.
  EXPECT_EQ(L"dl.example.com", FuntionImpl::GetHostOfUrl(L"https://user.name@dl.example.com/a.b/c"));
  EXPECT_EQ(L"", FuntionImpl::GetHostOfUrl(L"http://localhost/setup.exe"));
  EXPECT_EQ(L"127.0.0.1:8080", FuntionImpl::GetHostOfUrl(L"http://127.0.0.1:8080/x"));
}

// ---- folders ------------------------------------------------------------------------

TEST(FuntionImplFolders, CreateDirectoriesCreatesEveryPrefixWithBothSeparators) {
  std::vector<std::wstring> calls;
  uint32_t rc = FuntionImpl::CreateDirectoriesWith(L"C:\\a/b\\c", [&](const std::wstring& p) {
    calls.push_back(p);
    return platform::kErrorAlreadyExists;
  });
  EXPECT_EQ(platform::kErrorAlreadyExists, rc);
  const std::vector<std::wstring> expected = {L"C:\\", L"C:\\a/", L"C:\\a/b\\", L"C:\\a/b\\c"};
  EXPECT_EQ(expected, calls);
}

TEST(FuntionImplFolders, DiskFullStopsAtOnce) {
  std::vector<std::wstring> calls;
  uint32_t rc = FuntionImpl::CreateDirectoriesWith(L"D:\\x\\y\\z", [&](const std::wstring& p) {
    calls.push_back(p);
    return p == L"D:\\x\\" ? platform::kErrorDiskFull : platform::kErrorSuccess;
  });
  EXPECT_EQ(platform::kErrorDiskFull, rc);
  const std::vector<std::wstring> expected = {L"D:\\", L"D:\\x\\"};
  EXPECT_EQ(expected, calls);
  // Other failures on the way are ignored; the final creation's error counts.
  rc = FuntionImpl::CreateDirectoriesWith(L"a\\b", [](const std::wstring& p) {
    return p == L"a\\b" ? platform::kErrorSuccess : 5u;
  });
  EXPECT_EQ(platform::kErrorSuccess, rc);
}

TEST(FuntionImplFolders, CreateDirectoriesOnDisk) {
  TempFolder temp;
  const std::wstring base = Wide(temp.path());
  const std::wstring path = base + kSep + L"a" + kSep + L"b" + kSep + L"c";
  EXPECT_EQ(platform::kErrorSuccess, FuntionImpl::CreateDirectories(path));
  EXPECT_TRUE(platform::IsDirectory(base + kSep + L"a"));
  EXPECT_TRUE(platform::IsDirectory(base + kSep + L"a" + kSep + L"b"));
  EXPECT_TRUE(platform::IsDirectory(path));
  // The final folder exists already.
  EXPECT_EQ(platform::kErrorAlreadyExists, FuntionImpl::CreateDirectories(path));
  // Both separators in one path.
  const std::wstring mixed = base + L"/m\\n/o";
  EXPECT_EQ(platform::kErrorSuccess, FuntionImpl::CreateDirectories(mixed));
  EXPECT_TRUE(platform::IsDirectory(base + kSep + L"m" + kSep + L"n" + kSep + L"o"));
}

namespace {
void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}
}  // namespace

TEST(FuntionImplFolders, FindFileInSubDirsFindsTwoLevelsDownAndIgnoresTheStartFolder) {
  TempFolder temp;
  WriteFile(temp.path() / "unins000.dat", "top");  // directly in the start folder
  WriteFile(temp.path() / "aaa" / "readme.txt", "x");
  WriteFile(temp.path() / "app" / "bin" / "unins000.dat", "deep");
  std::filesystem::create_directories(temp.path() / "zzz");
  const std::wstring folder = Wide(temp.path()) + kSep;
  const std::wstring found = FuntionImpl::FindFileInSubDirs(folder, L"unins000.dat");
  EXPECT_EQ(folder + L"app" + kSep + L"bin" + kSep + L"unins000.dat", found);
}

TEST(FuntionImplFolders, FindFileInSubDirsIgnoresFilesOfTheStartFolderOnly) {
  TempFolder temp;
  WriteFile(temp.path() / "unins000.dat", "top");
  std::filesystem::create_directories(temp.path() / "empty" / "deeper");
  const std::wstring folder = Wide(temp.path()) + kSep;
  EXPECT_EQ(L"", FuntionImpl::FindFileInSubDirs(folder, L"unins000.dat"));
  EXPECT_EQ(L"", FuntionImpl::FindFileInSubDirs(folder + L"missing" + kSep, L"x"));
}

TEST(FuntionImplFolders, FindFileInSubDirsWithOneSubFolder) {
  TempFolder temp;
  WriteFile(temp.path() / "only" / "target.bin", "t");
  const std::wstring folder = Wide(temp.path()) + kSep;
  EXPECT_EQ(folder + L"only" + kSep + L"target.bin",
            FuntionImpl::FindFileInSubDirs(folder, L"target.bin"));
}

// ---- .NET Framework check ----------------------------------------------------------

class NetFrameCheck : public FuntionImplSystem {
 protected:
  void Db(const std::string& content) { WriteFile(temp_.path() / "NetFrameCheck.db", content); }
  void Installed(const std::wstring& version) {
    fake_.SetRegValue(L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client", L"Version",
                      version);
  }
  bool Check() { return FuntionImpl::WillShowNetFrameCheck(Wide(temp_.path())); }
  TempFolder temp_;
};

TEST_F(NetFrameCheck, NewerRequiredVersionShowsTheCheck) {
  Db("[Settings]\nNetFrameworkVersion=4.8\n[Text]\nTitle=x\n");
  Installed(L"4.7.2");
  LogCapture log;
  EXPECT_TRUE(Check());
  EXPECT_TRUE(log.Has(" LocalNetFrame: 4.7.2, NeedNetFrame: 4.8"));
}

TEST_F(NetFrameCheck, NewerInstalledVersionDoesNot) {
  Db("\xEF\xBB\xBF[Settings]\r\nNetFrameworkVersion=4.8\r\n");
  Installed(L"4.8.1");
  EXPECT_FALSE(Check());
  Installed(L"4.8");
  EXPECT_FALSE(Check());  // equal
  Installed(L"4.8.0.1");
  EXPECT_FALSE(Check());
}

TEST_F(NetFrameCheck, NoSettingsSectionOrNoFileGivesFalse) {
  Installed(L"2.0");
  EXPECT_FALSE(Check());  // no file
  Db("NetFrameworkVersion=4.8\n");
  EXPECT_FALSE(Check());
  Db("[Other]\nNetFrameworkVersion=4.8\n");
  EXPECT_FALSE(Check());
}

TEST_F(NetFrameCheck, TextSectionEndsTheReading) {
  Installed(L"4.0");
  Db("[Settings]\nName=x\n[Text]\nNetFrameworkVersion=4.8\n");
  EXPECT_FALSE(Check());
  Db("[Text]\n[Settings]\nNetFrameworkVersion=4.8\n");
  EXPECT_FALSE(Check());
}

TEST_F(NetFrameCheck, MissingInstalledVersionCountsAsZero) {
  Db("[Settings]\nNetFrameworkVersion=4.5\n");
  LogCapture log;
  EXPECT_TRUE(Check());
  EXPECT_TRUE(log.Has(" LocalNetFrame: , NeedNetFrame: 4.5"));
}

TEST(FuntionImplVersion, ParseVersion) {
  int parts[4];
  FuntionImpl::ParseVersion(L"4.7.2", parts);
  EXPECT_EQ((std::vector<int>{4, 7, 2, 0}), std::vector<int>(parts, parts + 4));
  FuntionImpl::ParseVersion(L"1..3", parts);
  EXPECT_EQ((std::vector<int>{1, 0, 3, 0}), std::vector<int>(parts, parts + 4));
  FuntionImpl::ParseVersion(L"1.2.3.4.5", parts);
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), std::vector<int>(parts, parts + 4));
  FuntionImpl::ParseVersion(L"4.8abc.x", parts);
  EXPECT_EQ((std::vector<int>{4, 8, 0, 0}), std::vector<int>(parts, parts + 4));
  FuntionImpl::ParseVersion(L"", parts);
  EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), std::vector<int>(parts, parts + 4));
}

}  // namespace
