// The helpers every reader of texts and files goes through (INI files,
// sysfs values, JSON files, pictures): blanks trimmed, whole files read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TempFolder.h"
#include "base/TrimmedText.h"
#include "platform/Platform.h"
#include "platform/SharedFile.h"

TEST(BaseText, TrimBlanksTakesTheAsciiBlanksAroundATextAndNothingElse) {
  EXPECT_EQ(TrimBlanks(std::string()), "");
  EXPECT_EQ(TrimBlanks(std::string(" \t\r\n\v\f")), "");
  EXPECT_EQ(TrimBlanks(std::string("\t key = a  b \r\n")), "key = a  b");
  // A line of a Windows file loses its carriage return; a space that is not
  // ASCII stays whatever the locale says of it.
  EXPECT_EQ(TrimBlanks(std::wstring(L"  4.0\r")), L"4.0");
  EXPECT_EQ(TrimBlanks(std::wstring(L"\x3000" L"C:\\Quenlo\x00A0")), L"\x3000" L"C:\\Quenlo\x00A0");
}

TEST(Files, ReadFileBytesKeepsEveryByteAndRefusesWhatItCannotRead) {
  TempFolder folder;
  std::string bytes = "stale";
  const auto ReadWholeFile = [](const std::filesystem::path& path, std::string* bytes) {
    return platform::ReadFileBytes(platform::Utf8ToWide(path.u8string()), bytes);
  };
  EXPECT_FALSE(ReadWholeFile(folder.path() / "missing.bin", &bytes));
  EXPECT_EQ(bytes, "");
  bytes = "stale";
  EXPECT_FALSE(ReadWholeFile(folder.path(), &bytes));  // a folder
  EXPECT_EQ(bytes, "");

  const std::filesystem::path empty = folder.path() / "empty";
  std::ofstream(empty).close();
  bytes = "stale";
  EXPECT_TRUE(ReadWholeFile(empty, &bytes));
  EXPECT_EQ(bytes, "");

  // Longer than one read, with NUL bytes, CR LF and Ctrl-Z (the end of a
  // file read in text mode on Windows), under a name outside any ANSI code
  // page.
  std::string binary;
  for (int i = 0; i < 40000; ++i) binary.push_back(static_cast<char>(i * 31 % 256));
  binary += std::string("\r\n\0\x1a\r", 5);
  const std::filesystem::path named =
      folder.path() / std::filesystem::u8path("\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5.bin");
  std::ofstream(named, std::ios::binary) << binary;
  EXPECT_TRUE(ReadWholeFile(named, &bytes));
  EXPECT_EQ(bytes, binary);
}
