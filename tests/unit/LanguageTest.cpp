// The interface languages: which language each system language starts in,
// and the tables of each language held against the shipped skin archive.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "FakeSystem.h"
#include "LogCapture.h"
#include "ShippedSkin.h"
#include "system/FuntionImpl.h"
#include "window/Language.h"

namespace {

TEST(Language, SystemLanguageIdsPickTheirLanguageAndAnyOtherIdEnglish) {
  const std::vector<std::pair<uint16_t, EnumLanguage>> cases = {
      {1033, English},  {2057, English},      {11273, English},   {1041, Japanese}, {2052, Chinese},
      {1034, Spanish},  {20490, Spanish},     {5127, German},     {5132, French},   {1049, Russian},
      {2070, Portuguese}, {1025, Arabic},     {2064, Italiano},   {1028, ChineseTrad},
      {3076, ChineseTrad}, {2066, Korean},    {2067, Nederlands}, {1057, Indonesian},
      {1055, Turkish},  {1081, Hindi},        {1054, Thai},       {2110, Malay},    {2077, Swedish},
      {1029, Czech},    {1066, Vietnamese},
      // No masking by primary language: other Arabic, Chinese and English variants.
      {5121, English},  {4100, English},      {12297, English},   {0, English},     {0xFFFF, English}};
  for (const auto& [id, language] : cases) EXPECT_EQ(FuntionImpl::LanguageOfLangId(id), language) << id;

  FakeSystem fake;
  FakeSystemGuard guard(fake);
  fake.SetLanguage(3076);
  LogCapture log;
  EXPECT_EQ(FuntionImpl::GetLanguageByLocalSystem(), ChineseTrad);
  EXPECT_TRUE(log.Has(" GetLanguageByLocalSystem: 3076"));
}

// Every language names a file of the archive with both pages, and a licence
// control of the main layout; only Vietnamese has no licence of its own.
TEST(Language, EveryLanguageFindsItsFileAndItsLicenceInTheShippedSkin) {
  auto main = shipped_skin::ParseWindow("InstallMainWnd.xml");
  ASSERT_TRUE(main);
  std::set<std::string> codes;
  for (int value = 0; value < kLanguageCount; ++value) {
    const auto language = static_cast<EnumLanguage>(value);
    LanguagePage install, message;
    EXPECT_TRUE(LoadLanguagePage(language, "install_page", &install, shipped_skin::Archive())) << value;
    EXPECT_TRUE(LoadLanguagePage(language, "message_page", &message, shipped_skin::Archive())) << value;
    EXPECT_EQ(install.size(), 31u) << value;
    EXPECT_EQ(message.size(), 35u) << value;
    EXPECT_EQ(main->root.Find(GetLicenseControlName(language)) != nullptr, language != Vietnamese) << value;
    codes.insert(GetLanguageCode(language));
  }
  EXPECT_EQ(codes.size(), static_cast<size_t>(kLanguageCount));
}

TEST(Language, TextsComeFromTheLanguageFileAndMissingOnesAreEmpty) {
  const toolkit::ResourceArchive& archive = shipped_skin::Archive();
  EXPECT_EQ(GetLanguageText("install_page", "install_btn", English, archive), L"Install");
  EXPECT_EQ(GetLanguageText("message_page", "OkButtonText", English, archive), L"OK");
  EXPECT_NE(GetLanguageText("install_page", "install_btn", German, archive), L"Install");
  EXPECT_EQ(GetLanguageText("install_page", "YesText", English, archive), L"");  // another page's key
  EXPECT_EQ(GetLanguageText("no_page", "install_btn", English, archive), L"");
  toolkit::ResourceArchive empty;
  EXPECT_EQ(GetLanguageText("install_page", "install_btn", English, empty), L"");
}

TEST(Language, ValuesOutsideTheTableFallBackToEnglish) {
  const auto outside = static_cast<EnumLanguage>(21);
  EXPECT_EQ(GetLanguageCode(outside), "en");
  EXPECT_EQ(GetLanguageEnglishName(static_cast<EnumLanguage>(-1)), "English");
  EXPECT_EQ(GetLanguageFileName(outside), L"language_english.xml");
  EXPECT_EQ(GetLicenseFontName(Korean), "batang");
  EXPECT_EQ(GetLicenseFontName(outside), "Microsoft YaHei");
}

}  // namespace
