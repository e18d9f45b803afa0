// Start-up's own reading of the product configuration: attribute position,
// the CDN rule for the start-up download URL, _wtoi conversions.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>

#include "startup/StartupConfig.h"
#include "platform/Platform.h"
#include "toolkit/ResourceArchive.h"

namespace {

StartupConfig ReadEntries(const std::string& labels) {
  tinyxml2::XMLDocument document;
  const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><VerticalLayout>"
                          "<VerticalLayout name=\"Product_config\">" + labels +
                          "</VerticalLayout></VerticalLayout>";
  EXPECT_EQ(document.Parse(xml.c_str()), tinyxml2::XML_SUCCESS);
  return ReadStartupConfig(document);
}

TEST(StartupConfig, AttributePositionDecidesKeyAndValue) {
  const StartupConfig config = ReadEntries(
      "<Label name=\"Downloader_id\" text=\"578\"/>"
      "<Label text=\"10\" name=\"Site_id\"/>"  // reordered: key "10", ignored
      "<Label key=\"Software_name\" value=\"Quenlo\"/>"
      "<Label name=\"MainPid\"/>"
      "<Label name=\"software_version\" text=\"9.9\"/>"  // keys are case-sensitive
      "<Label name=\"Software_version\" text=\"1.0.0.0\"/>");
  EXPECT_EQ(config.downloaderIdText, L"578");
  EXPECT_EQ(config.downloaderId, 578);
  EXPECT_EQ(config.siteId, 0);
  EXPECT_EQ(config.softwareName, L"Quenlo");
  EXPECT_EQ(config.mainPid, 0);
  EXPECT_EQ(config.softwareVersion, L"1.0.0.0");
}

TEST(StartupConfig, DownloadUrlIsTheFirstEntryOffACdn) {
  const char* direct = "https://download.example.com/a/setup.exe";
  EXPECT_EQ(ReadEntries("<Label name=\"Download_url\" text=\"https://dl.example.com/x.exe\"/>"
                        "<Label name=\"Extra_download_url\" text=\"" + std::string(direct) + "\"/>")
                .downloadUrl,
            platform::Utf8ToWide(direct));
  EXPECT_EQ(ReadEntries("<Label name=\"Extra_download_url\" text=\"" + std::string(direct) + "\"/>"
                        "<Label name=\"Download_url\" text=\"https://b.example.com/b.exe\"/>")
                .downloadUrl,
            platform::Utf8ToWide(direct));
  EXPECT_EQ(ReadEntries("<Label name=\"Download_url\" text=\"https://cdn.example.com/x.exe\"/>"
                        "<Label name=\"Extra_download_url\" text=\"http://dl.example.com/x.exe\"/>")
                .downloadUrl,
            L"");
  // An empty entry does not fill the URL, so a later one still can.
  EXPECT_EQ(ReadEntries("<Label name=\"Download_url\" text=\"\"/>"
                        "<Label name=\"Extra_download_url\" text=\"" + std::string(direct) + "\"/>")
                .downloadUrl,
            platform::Utf8ToWide(direct));
}

TEST(StartupConfig, DocumentsWithoutEntriesKeepTheDefaults) {
  for (const char* xml : {"<VerticalLayout/>", "<VerticalLayout><VerticalLayout/></VerticalLayout>",
                          "<Label name=\"Downloader_id\" text=\"578\"/>"}) {
    tinyxml2::XMLDocument document;
    document.Parse(xml);
    const StartupConfig config = ReadStartupConfig(document);
    EXPECT_EQ(config.downloaderIdText, L"") << xml;
    EXPECT_EQ(config.downloaderId, 0) << xml;
  }
  toolkit::ResourceArchive empty;
  EXPECT_EQ(LoadStartupConfig(empty).downloadUrl, L"");
}

TEST(StartupConfig, WideToIntFollowsWtoi) {
  EXPECT_EQ(WideToInt(L"8948"), 8948);
  EXPECT_EQ(WideToInt(L"  -12abc"), -12);
  EXPECT_EQ(WideToInt(L"+7"), 7);
  EXPECT_EQ(WideToInt(L""), 0);
  EXPECT_EQ(WideToInt(L"x12"), 0);
  EXPECT_EQ(WideToInt(L"99999999999999999999"), 2147483647);
  EXPECT_EQ(WideToInt(L"-99999999999999999999"), -2147483647 - 1);
}

TEST(StartupConfig, AnalyticsTestBuildsAre277And278) {
  StartupConfig config;
  for (int id : {276, 277, 278, 279, 578}) {
    config.downloaderId = id;
    EXPECT_EQ(config.IsAnalyticsTestBuild(), id == 277 || id == 278) << id;
  }
}

TEST(StartupConfig, OnlyTextZeroRefusesA32BitSystem) {
  StartupConfig config;
  for (const wchar_t* text : {L"0", L"1", L"", L"00", L" 0"}) {
    config.support32System = text;
    const bool forbids = std::wstring(text) == L"0";
    EXPECT_EQ(config.Refuses32BitSystem(false), forbids);
    EXPECT_FALSE(config.Refuses32BitSystem(true));
  }
}

// The shipped configuration as the program's own resource carries it.
TEST(StartupConfig, ShippedConfigurationNamesTheLogAfterTheInstaller) {
  const void* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(platform::LoadModuleResource(L"ZIPRES", 138, &data, &size));
  toolkit::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(data, size));
  const StartupConfig config = LoadStartupConfig(archive);
  EXPECT_EQ(config.downloaderIdText, L"578");
  EXPECT_EQ(config.siteId, 10);
  EXPECT_EQ(config.mainPid, 8948);
  EXPECT_EQ(config.softwareName, L"Quenlo");
  EXPECT_EQ(config.support32System, L"0");
  EXPECT_EQ(config.downloadUrl, L"https://download.quenlo-example.com/setup/QuenloSetup.exe");
}

}  // namespace
