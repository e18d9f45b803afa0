// The portable INI reader (GetPrivateProfileIntW / StringW semantics).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"

namespace {

using platform::IniFile;

TEST(IniFile, CaseInsensitiveSectionsAndKeys) {
  IniFile ini = IniFile::Parse("[Settings]\nAutoRun=1\n  TestEnv = 2 \n");
  EXPECT_EQ(1, ini.GetInt(L"settings", L"AUTORUN", 0));
  EXPECT_EQ(2, ini.GetInt(L"SETTINGS", L"testenv", 0));
  EXPECT_EQ(7, ini.GetInt(L"Settings", L"CrashTest", 7));
  EXPECT_EQ(7, ini.GetInt(L"Other", L"AutoRun", 7));
  EXPECT_TRUE(ini.HasSection(L"settings"));
  EXPECT_FALSE(ini.HasSection(L"Other"));
}

TEST(IniFile, IntegerParsing) {
  IniFile ini = IniFile::Parse(
      "[S]\nlead=12abc\nword=abc\nempty=\nneg=-5\nhex=0x1F\nplus=+3\nspace=  42  \n"
      "quoted=\"9\"\nbig=4294967295\n");
  EXPECT_EQ(12, ini.GetInt(L"S", L"lead", -1));
  EXPECT_EQ(0, ini.GetInt(L"S", L"word", -1));    // present, no digit: 0
  EXPECT_EQ(-1, ini.GetInt(L"S", L"empty", -1));  // empty value: the default
  EXPECT_EQ(-5, ini.GetInt(L"S", L"neg", 0));
  EXPECT_EQ(31, ini.GetInt(L"S", L"hex", 0));
  EXPECT_EQ(3, ini.GetInt(L"S", L"plus", 0));
  EXPECT_EQ(42, ini.GetInt(L"S", L"space", 0));
  EXPECT_EQ(9, ini.GetInt(L"S", L"quoted", 0));
  EXPECT_EQ(-1, ini.GetInt(L"S", L"big", 0));
  EXPECT_EQ(0, platform::ParseProfileInt(L""));
  EXPECT_EQ(10, platform::ParseProfileInt(L"0b1010"));
}

TEST(IniFile, StringsCommentsAndDuplicates) {
  IniFile ini = IniFile::Parse(
      "orphan=1\n; comment=3\n[A]\nk=first\nk=second\nnoequals\n[ B ]  trailing\nq='x y'\n"
      "[a]\nk=third\nonly=here\n");
  EXPECT_EQ(L"first", ini.GetString(L"A", L"k", L"d"));
  EXPECT_EQ(L"here", ini.GetString(L"A", L"only", L"d"));  // same-named section
  EXPECT_EQ(L"x y", ini.GetString(L"B", L"q", L"d"));
  EXPECT_EQ(L"d", ini.GetString(L"A", L"noequals", L"d"));
  EXPECT_EQ(L"d", ini.GetString(L"", L"orphan", L"d"));
  EXPECT_EQ(L"d", ini.GetString(L"A", L"; comment", L"d"));
}

TEST(IniFile, Encodings) {
  // UTF-8 with BOM and CRLF.
  IniFile utf8 = IniFile::Parse("\xEF\xBB\xBF[S]\r\nName=Gr\xC3\xBC\xC3\x9F\r\n");
  EXPECT_EQ(std::wstring(L"Gr\u00FC\u00DF"), utf8.GetString(L"S", L"Name", L""));
  // UTF-16LE with BOM.
  const std::wstring text = L"[S]\r\nN=\u4E2D\r\nV=5\r\n";
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  IniFile utf16 = IniFile::Parse(bytes);
  EXPECT_EQ(std::wstring(L"\u4E2D"), utf16.GetString(L"S", L"N", L""));
  EXPECT_EQ(5, utf16.GetInt(L"s", L"v", 0));
  EXPECT_TRUE(IniFile::Parse("").Sections().empty());
}

TEST(IniFile, PlatformReadersUseTheFile) {
  TempFolder temp;
  const auto file = temp.path() / "ov_downloader.cfg";
  {
    std::ofstream out(file, std::ios::binary);
    out << "[Settings]\nAutoRun=2\nTestEnv=1\nName=abc\n";
  }
  const std::wstring path = platform::Utf8ToWide(file.u8string());
  EXPECT_EQ(2, platform::IniReadInt(path, L"Settings", L"AutoRun", 0));
  EXPECT_EQ(1, platform::IniReadInt(path, L"settings", L"testenv", 0));
  EXPECT_EQ(0, platform::IniReadInt(path, L"Settings", L"CrashTest", 0));
  EXPECT_EQ(L"abc", platform::IniReadString(path, L"Settings", L"Name", L"d"));
  EXPECT_EQ(L"d", platform::IniReadString(path, L"Settings", L"None", L"d"));
  const std::wstring missing = path + L".missing";
  EXPECT_EQ(9, platform::IniReadInt(missing, L"Settings", L"AutoRun", 9));
  EXPECT_EQ(L"d", platform::IniReadString(missing, L"Settings", L"Name", L"d"));
}

}  // namespace
