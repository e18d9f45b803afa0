// The system services of FuntionImpl (system information and drives) on the
// real win32 backend under Wine: the calls reach Win32 and the answers have
// the shape the callers expect.
#include <gtest/gtest.h>

#include "system/FuntionImpl.h"
#include "WinTestUtil.h"

namespace {

TEST(Win32FuntionImpl, UiLanguageNameComesFromTheTable) {
  const uint16_t id = GetUserDefaultUILanguage();
  const std::string name = FuntionImpl::GetUILanguageName();
  EXPECT_EQ(name, FuntionImpl::LanguageNameOf(id));
  EXPECT_NE(name.find('_'), std::string::npos) << name;
  // Wine's default prefix runs in English (United States) unless LANG says otherwise.
  if (id == 0x0409) {
    EXPECT_EQ(name, "English_United States");
  }
  EXPECT_EQ(FuntionImpl::LanguageNameOf(0x0C0A), "Spanish_Spain (International sort)");
  EXPECT_EQ(FuntionImpl::LanguageNameOf(0x0C1B), "0x0c1b_0x0c1b");
}

TEST(Win32FuntionImpl, OsVersionNameIsNamed) {
  float number = -1.0f;
  const std::string name = FuntionImpl::GetOSVersionName(&number);
  EXPECT_FALSE(name.empty());
  EXPECT_NE(name, "Error");
  EXPECT_EQ(name.rfind("Windows", 0) == 0 || name.rfind("Microsoft Windows", 0) == 0, true) << name;
  EXPECT_GE(number, 0.0f);
  EXPECT_FALSE(FuntionImpl::IsWow64());
}

TEST(Win32FuntionImpl, RegistryStringsThroughTheFreeFunctions) {
  const std::wstring key = L"SOFTWARE\\WebSetupTests\\" + wintest::UniqueName(L"Funtion");
  ASSERT_TRUE(FuntionImpl::WriteRegString(key, L"GA_PC", L"1"));
  EXPECT_EQ(FuntionImpl::ReadRegString(key, L"GA_PC"), L"1");
  EXPECT_EQ(FuntionImpl::ReadRegString(key, L"Missing"), L"");
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WebSetupTests");
}

TEST(Win32FuntionImpl, FileVersionOfTheTestProgram) {
  const std::wstring self = platform::RealSystem().ModulePath();
  EXPECT_EQ(FuntionImpl::GetFileVersion(self), SETUP_VERSION_TEXT);
  std::wstring product, version, copyright, description;
  FuntionImpl::GetFileVersionStrings(self, &product, &version, &copyright, &description);
  EXPECT_FALSE(product.empty());
  EXPECT_EQ(version, platform::Utf8ToWide(SETUP_VERSION_TEXT));
  EXPECT_EQ(description, L"Setup tests");
}

TEST(Win32FuntionImpl, CreateDirectoriesCreatesEveryLevel) {
  wintest::WinTempFolder folder(L"Dirs");
  const std::wstring deep = folder.path() + L"\\a\\b\\c";
  FuntionImpl::CreateDirectories(deep);
  EXPECT_TRUE(platform::IsDirectory(folder.path() + L"\\a"));
  EXPECT_TRUE(platform::IsDirectory(folder.path() + L"\\a\\b"));
  EXPECT_TRUE(platform::IsDirectory(deep));
}

TEST(Win32FuntionImpl, DrivesQueries) {
  // C: is a fixed, non-USB drive: the roomiest-drive move keeps a path on a
  // candidate drive and only swaps its root.
  const std::wstring moved = FuntionImpl::MoveToRoomiestDrive(L"C:\\Program Files\\Quenlo");
  ASSERT_GE(moved.size(), 3u);
  EXPECT_EQ(moved.substr(1), L":\\Program Files\\Quenlo");
  EXPECT_FALSE(FuntionImpl::IsSsdDrive(L'1'));
  EXPECT_EQ(FuntionImpl::GetBusType(L"1"), 0);
  // The solid-state list names drive letters only (Wine may know none).
  for (wchar_t c : FuntionImpl::ListSsdDrives()) EXPECT_TRUE((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'));
  const std::wstring guid = FuntionImpl::GetSystemVolumeGuid();
  EXPECT_TRUE(guid.empty() || guid.size() == 36u);
}

TEST(Win32FuntionImpl, SystemRegionAndChinaTime) {
  const std::wstring region = FuntionImpl::GetSystemRegion();
  EXPECT_TRUE(region.empty() || region.size() == 2u);
  const std::string cst = FuntionImpl::GetChinaStandardTime();
  ASSERT_EQ(cst.size(), 19u) << cst;  // YYYY-MM-DD hh:mm:ss
  EXPECT_EQ(cst[4], '-');
  EXPECT_EQ(cst[10], ' ');
}

}  // namespace
