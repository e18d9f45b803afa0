// Resources of the program: the skin archive, the version resource and the
// manifest (cmake/WindowsResources.cmake), read through the win32 backend.
#include <gtest/gtest.h>

#include <cstring>

#include "WinTestUtil.h"

namespace {

std::wstring SelfPath() { return platform::RealSystem().ModulePath(); }

TEST(Win32Resources, ModulePathIsTheTestProgram) {
  const std::wstring self = SelfPath();
  ASSERT_GT(self.size(), 16u);
  EXPECT_EQ(self.substr(self.size() - 15), L"setup_tests.exe");
  EXPECT_TRUE(platform::FileExists(self));
}

TEST(Win32Resources, SkinArchiveIsZipres138) {
  const void* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(platform::LoadModuleResource(L"ZIPRES", 138, &data, &size));
  ASSERT_GT(size, 22u);  // at least an end-of-central-directory record
  EXPECT_EQ(std::memcmp(data, "PK\x03\x04", 4), 0);
  EXPECT_FALSE(platform::LoadModuleResource(L"ZIPRES", 139, &data, &size));
  EXPECT_FALSE(platform::LoadModuleResource(L"NOSUCHTYPE", 138, &data, &size));
}

TEST(Win32Resources, FixedFileVersionOfTheTestProgram) {
  platform::FileVersion version;
  ASSERT_TRUE(platform::ReadFileVersion(SelfPath(), &version));
  const std::string text = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                           std::to_string(version.build) + "." + std::to_string(version.revision);
  EXPECT_EQ(text, SETUP_VERSION_TEXT);  // PROJECT_VERSION
}

TEST(Win32Resources, VersionStringsOfTheTestProgram) {
  std::wstring strings[4];
  ASSERT_TRUE(platform::ReadFileVersionStrings(SelfPath(), strings));
  EXPECT_FALSE(strings[0].empty());                                       // ProductName
  EXPECT_EQ(strings[1], platform::Utf8ToWide(SETUP_VERSION_TEXT));        // ProductVersion
  EXPECT_NE(strings[2].find(L"Copyright"), std::wstring::npos);           // LegalCopyright
  EXPECT_EQ(strings[3], L"Setup tests");                                  // FileDescription
}

TEST(Win32Resources, SetupExeCarriesVersionAndAdministratorManifest) {
  const std::wstring setup = wintest::ProgramFolder() + L"Setup.exe";
  if (!platform::FileExists(setup)) GTEST_SKIP() << "Setup.exe is not beside the test program";
  platform::FileVersion version;
  ASSERT_TRUE(platform::ReadFileVersion(setup, &version));
  std::wstring strings[4];
  ASSERT_TRUE(platform::ReadFileVersionStrings(setup, strings));
  EXPECT_FALSE(strings[0].empty());
  EXPECT_EQ(strings[1], platform::Utf8ToWide(SETUP_VERSION_TEXT));
  EXPECT_EQ(strings[3], strings[0]);  // FileDescription: the product name

  HMODULE module = LoadLibraryExW(setup.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(manifest, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
  const std::string xml(text, SizeofResource(module, manifest));
  EXPECT_NE(xml.find("requestedExecutionLevel level=\"requireAdministrator\""), std::string::npos);
  HRSRC zip = FindResourceW(module, MAKEINTRESOURCEW(138), L"ZIPRES");
  EXPECT_NE(zip, nullptr);
  FreeLibrary(module);
}

TEST(Win32Resources, NoVersionResource) {
  wintest::WinTempFolder folder(L"Version");
  const std::wstring file = folder.WriteFile(L"plain.txt", "not a program");
  platform::FileVersion version;
  EXPECT_FALSE(platform::ReadFileVersion(file, &version));
  EXPECT_FALSE(platform::ReadFileVersion(folder.path() + L"\\missing.exe", &version));
  std::wstring strings[4] = {L"a", L"b", L"c", L"d"};
  EXPECT_FALSE(platform::ReadFileVersionStrings(file, strings));
  for (const std::wstring& s : strings) EXPECT_TRUE(s.empty());
}

}  // namespace
