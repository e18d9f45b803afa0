// The download-configuration record without a server: reading the stored
// answer (every element and conversion), the embedded fallback, the link
// table, the log of the record and the scrambled build-time hosts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "config/CConfigure.h"
#include "config/CEmbeddedConfigReader.h"
#include "runstate/RunState.h"
#include "platform/Platform.h"
#include "toolkit/ResourceArchive.h"
#include "unit/LogCapture.h"
#include "unit/MapConfigReader.h"
#include "unit/RunStateGuard.h"

namespace {

class CConfigureXml : public ::testing::Test {
 protected:
  // Stores `body` as the server answer and parses it.
  int Parse(const std::string& body) {
    record_.storeAnswer(body);
    return record_.readDownloadInfoFromXml();
  }
  static std::string Answer(const std::string& children) {
    return "<Downloader>" + children + "</Downloader>";
  }

  RunStateGuard runState_;
  CConfigure record_{578, 1033, 10};
};

TEST_F(CConfigureXml, EveryElementReachesItsField) {
  ASSERT_EQ(Parse(Answer(
                "<Downloader_id>601</Downloader_id><Software_id>77</Software_id><Site_id>12</Site_id>"
                "<Software_name>Quenlo \xC3\xA9" "diteur</Software_name>"
                "<Software_version>2.1.0.5</Software_version>"
                "<Process_name>Quenlo.exe\r\n</Process_name>"
                "<Install_url>https://i.example/x</Install_url><Banner_url>https://b.example/y</Banner_url>"
                "<Licensefile_url>https://l.example/z</Licensefile_url>"
                "<Md5>0123456789abcdef0123456789abcdef</Md5><Md5_extra>fedcba</Md5_extra><Sha256>5ha</Sha256>"
                "<Cnet_download_url>https://m.example/w</Cnet_download_url>"
                "<Download_url>https://a.example/setup.exe\r\n</Download_url>"
                "<Extra_download_url>https://e.example/\nsetup.exe</Extra_download_url>"
                "<Filesize>5368709120</Filesize><Downloader_type>3</Downloader_type>"
                "<Downloader_config>2</Downloader_config><Slice_num>6</Slice_num>"
                "<Slice_size>1048576</Slice_size><Additional_time>45</Additional_time>"
                "<Back_running>1</Back_running><TimeoutCfg>5,60</TimeoutCfg><Unknown>9</Unknown>")),
            CConfigure::kParsed);
  EXPECT_EQ(record_.loadState, CConfigure::kLoaded);
  EXPECT_EQ(record_.source, CConfigure::kFromXml);
  EXPECT_EQ(record_.downloaderId, 601);
  EXPECT_EQ(record_.softwareId, 77);
  EXPECT_EQ(record_.siteId, 12);
  EXPECT_EQ(record_.languageId, 1033);
  EXPECT_EQ(record_.productName, L"Quenlo \u00e9diteur");
  EXPECT_EQ(record_.productVersion, L"2.1.0.5");
  EXPECT_EQ(record_.processName, L"Quenlo.exe");
  EXPECT_EQ(record_.installUrl, L"https://i.example/x");
  EXPECT_EQ(record_.bannerUrl, L"https://b.example/y");
  EXPECT_EQ(record_.licenseFileUrl, L"https://l.example/z");
  EXPECT_EQ(record_.md5, L"0123456789abcdef0123456789abcdef");
  EXPECT_EQ(record_.md5Extra, L"fedcba");
  EXPECT_EQ(record_.sha256, L"5ha");
  EXPECT_EQ(record_.mirrorUrl, L"https://m.example/w");
  EXPECT_EQ(record_.downloadUrl, L"https://a.example/setup.exe");
  EXPECT_EQ(record_.extraDownloadUrl, L"https://e.example/setup.exe");
  EXPECT_EQ(record_.fileSize, 5368709120LL);
  EXPECT_EQ(record_.downloaderType, 3);
  EXPECT_EQ(record_.downloaderConfig, 2);
  EXPECT_EQ(record_.sliceNum, 6);
  EXPECT_EQ(record_.sliceSize, 1048576);
  EXPECT_EQ(record_.additionalTime, 45);
  EXPECT_EQ(record_.backRunning, 1);
  EXPECT_EQ(record_.connectTimeout, 5);
  EXPECT_EQ(record_.transferTimeout, 60);
  EXPECT_EQ(record_.downloadUrlList,
            (std::vector<std::wstring>{L"https://a.example/setup.exe", L"https://e.example/setup.exe"}));

  RunState& runState = RunState::Shared();
  EXPECT_EQ(runState.GetDownloaderConfig(), 2);
  EXPECT_EQ(runState.GetSliceNum(), 6);
  EXPECT_EQ(runState.GetSliceSize(), 1048576);
  EXPECT_EQ(runState.GetAdditionalTime(), 45);
  EXPECT_EQ(runState.GetBackRunning(), 1);
  EXPECT_EQ(runState.GetConnectTimeout(), 5);
  EXPECT_EQ(runState.GetTransferTimeout(), 60);
}

TEST_F(CConfigureXml, TimeoutCfgNeedsTwoNumbersAboveZero) {
  LogCapture log;
  ASSERT_EQ(Parse(Answer("<TimeoutCfg>0,0</TimeoutCfg>")), CConfigure::kParsed);
  EXPECT_EQ(record_.connectTimeout, 3);
  EXPECT_EQ(record_.transferTimeout, 20);
  EXPECT_TRUE(log.Has(" GetCbsInfo TimeoutCfg is: 0,0"));

  CConfigure noComma(578, 1033, 10);
  noComma.storeAnswer(Answer("<TimeoutCfg>30</TimeoutCfg>"));
  RunState::Shared().SetConnectTimeout(7);
  ASSERT_EQ(noComma.readDownloadInfoFromXml(), CConfigure::kParsed);
  EXPECT_EQ(noComma.connectTimeout, 3);
  EXPECT_EQ(noComma.transferTimeout, 20);
  EXPECT_EQ(RunState::Shared().GetConnectTimeout(), 7);  // not copied
}

TEST_F(CConfigureXml, OnlyTheDownloaderPartOfTheBodyCounts) {
  EXPECT_TRUE(record_.storeAnswer("<html>x</html><Downloader><Md5>ab</Md5></Downloader><Md5>cd</Md5>"));
  EXPECT_FALSE(record_.storeAnswer(Answer("<Md5>later</Md5>")));  // first answer stays
  ASSERT_EQ(record_.readDownloadInfoFromXml(), CConfigure::kParsed);
  EXPECT_EQ(record_.md5, L"ab");
}

TEST_F(CConfigureXml, CdnAddressesAreKeptButNotListed) {
  ASSERT_EQ(Parse(Answer("<Download_url>https://dl.example/a.exe</Download_url>"
                         "<Extra_download_url>https://x.example/b.exe</Extra_download_url>"
                         "<Cnet_download_url>https://m.example/c.exe</Cnet_download_url>")),
            CConfigure::kParsed);
  EXPECT_EQ(record_.downloadUrl, L"https://dl.example/a.exe");
  EXPECT_EQ(record_.downloadUrlList, std::vector<std::wstring>{L"https://x.example/b.exe"});

  CConfigure cdn(578, 1033, 10);
  cdn.storeAnswer(Answer("<Download_url>http://cdn.example/a.exe</Download_url>"));
  ASSERT_EQ(cdn.readDownloadInfoFromXml(), CConfigure::kParsed);
  EXPECT_TRUE(cdn.downloadUrlList.empty());
}

TEST_F(CConfigureXml, UnparsableOrMissingValuesLeaveFieldsAndCopiesAlone) {
  RunState::Shared().SetSliceNum(4);
  ASSERT_EQ(Parse(Answer("<Downloader_id>abc</Downloader_id><Slice_num></Slice_num>"
                         "<Filesize>big</Filesize><Software_name>" + std::string(400, 'n') +
                         "</Software_name>")),
            CConfigure::kParsed);
  EXPECT_EQ(record_.downloaderId, 578);
  EXPECT_EQ(record_.sliceNum, 0);
  EXPECT_EQ(record_.fileSize, 0);
  EXPECT_EQ(record_.productName, std::wstring(259, L'n'));
  EXPECT_EQ(RunState::Shared().GetSliceNum(), 4);
  EXPECT_EQ(RunState::Shared().GetTransferTimeout(), 20);
}

TEST_F(CConfigureXml, NothingStoredOrMalformedLeavesTheRecordUnloaded) {
  EXPECT_EQ(record_.readDownloadInfoFromXml(), CConfigure::kParseFailed);
  EXPECT_EQ(record_.loadState, CConfigure::kNotLoaded);
  EXPECT_FALSE(record_.storeAnswer("<Downloader><Md5>ab</Md5>"));  // no end tag

  const std::string malformed[] = {
      Answer("<Md5>ab</Slice_num>"),  // mismatched tags
      Answer("<Md5>ab<"),             // cut inside
      Answer(std::string(200, '<')),
  };
  for (const std::string& body : malformed) {
    CConfigure bad(578, 1033, 10);
    ASSERT_TRUE(bad.storeAnswer(body));
    EXPECT_EQ(bad.readDownloadInfoFromXml(), CConfigure::kParseFailed) << body;
    EXPECT_EQ(bad.loadState, CConfigure::kNotLoaded);
    EXPECT_EQ(bad.downloaderId, 578);
  }
}

TEST_F(CConfigureXml, GarbageLeavesTheRecordUsable) {
  const std::string garbage("<Downloader>\x01\xff\xfe\x00\x9c<Md5>\x80\x81</Md5></Downloader>", 43);
  record_.storeAnswer(garbage);
  record_.readDownloadInfoFromXml();
  MapConfigReader reader(MapConfigReader::Entries{{L"Download_url", L"https://a.example/s.exe"}});
  record_.loadFromEmbedded(reader, true);
  EXPECT_EQ(record_.loadState, CConfigure::kLoaded);
  EXPECT_EQ(record_.downloadUrlList, std::vector<std::wstring>{L"https://a.example/s.exe"});
}

TEST_F(CConfigureXml, HugeTextsAreTaken) {
  const std::string huge(1 << 20, 'h');
  ASSERT_EQ(Parse(Answer("<Md5>" + huge + "</Md5><Software_name>" + huge + "</Software_name>")), CConfigure::kParsed);
  EXPECT_EQ(record_.md5.size(), huge.size());
  EXPECT_EQ(record_.productName.size(), 259u);
}

MapConfigReader ShippedLikeEntries() {
  return MapConfigReader(MapConfigReader::Entries{{L"Downloader_id", L"578"},
                    {L"Software_id", L"3"},
                    {L"Site_id", L"10"},
                    {L"Language_id", L"1041"},
                    {L"Software_name", L"Quenlo"},
                    {L"Software_version", L"1.0.0.0"},
                    {L"Process_name", L"Quenlo PDF Editor.exe"},
                    {L"Download_url", L"https://dl.example/s.exe"},
                    {L"Extra_download_url", L"https://x.example/s.exe"},
                    {L"Licensefile_url", L"https://l.example/"},
                    {L"Md5", L"aa"},
                    {L"Filesize", L"4294967296"},
                    {L"Md5_extra", L"bb"},
                    {L"InstallTimeout", L"0"},
                    {L"Cnet_download_url", L"https://m.example/"}});
}

TEST(CConfigureEmbedded, LoadWithoutTheFlagLeavesTheRecordUnloaded) {
  CConfigure record(1, 2, 3);
  record.connectTimeout = 9;
  record.sha256 = L"of an earlier answer";
  MapConfigReader reader = ShippedLikeEntries();
  record.loadFromEmbedded(reader, false);
  EXPECT_EQ(record.loadState, CConfigure::kNotLoaded);
  EXPECT_EQ(record.source, CConfigure::kFromNothing);
  EXPECT_TRUE(record.downloadUrlList.empty());
  EXPECT_EQ(record.downloaderId, 578);
  EXPECT_EQ(record.softwareId, 3);
  EXPECT_EQ(record.languageId, 1041);
  EXPECT_EQ(record.processName, L"Quenlo PDF Editor.exe");
  EXPECT_EQ(record.licenseFileUrl, L"https://l.example/");
  EXPECT_EQ(record.fileSize, 4294967296LL);
  EXPECT_EQ(record.installTimeout, 242);
  EXPECT_EQ(record.downloaderType, 1);
  EXPECT_EQ(record.connectTimeout, 3);
  EXPECT_EQ(record.transferTimeout, 20);
  EXPECT_TRUE(record.sha256.empty());  // the embedded configuration names none
}

TEST(CConfigureEmbedded, LoadWithTheFlagIsTheFallback) {
  CConfigure record(1, 2, 3);
  MapConfigReader reader = ShippedLikeEntries();
  record.loadFromEmbedded(reader, true);
  EXPECT_EQ(record.loadState, CConfigure::kLoaded);
  EXPECT_EQ(record.source, CConfigure::kFromFile);
  EXPECT_EQ(record.downloadUrlList, std::vector<std::wstring>{L"https://x.example/s.exe"});
}

TEST(CConfigureEmbedded, ReaderTakesTheShippedConfiguration) {
  const void* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(platform::LoadModuleResource(L"ZIPRES", 138, &data, &size));
  toolkit::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(data, size));
  CEmbeddedConfigReader reader(archive);
  CConfigure record(0, 0, 0);
  record.loadFromEmbedded(reader, true);
  EXPECT_EQ(record.downloaderId, 578);
  EXPECT_EQ(record.siteId, 10);
  EXPECT_EQ(record.languageId, 1033);
  EXPECT_EQ(record.installTimeout, 240);
  EXPECT_EQ(record.processName, L"Quenlo PDF Editor.exe");
  EXPECT_EQ(reader.ReadEntry(L"no such entry"), L"");
}

TEST(CConfigureLinks, StoredLinkOrTheEmbeddedFallback) {
  CConfigure record(1, 2, 3);
  record.setFallbackLinks(L"https://fallback/licence", L"https://fallback/privacy");
  record.setLinks("de", L"https://de/privacy", L"");
  record.setLinks("fr", L"https://fr/privacy-old", L"https://fr/licence");
  record.setLinks("fr", L"https://fr/privacy", L"https://fr/licence");
  EXPECT_EQ(record.getPrivacyUrl("de"), L"https://de/privacy");
  EXPECT_EQ(record.getLicenseUrl("de"), L"https://fallback/licence");
  EXPECT_EQ(record.getPrivacyUrl("fr"), L"https://fr/privacy");
  EXPECT_EQ(record.getLicenseUrl("fr"), L"https://fr/licence");
  EXPECT_EQ(record.getPrivacyUrl("ja"), L"https://fallback/privacy");
}

TEST(CConfigurePrint, LogsSourceAndEveryField) {
  CConfigure record(1, 2, 3);
  MapConfigReader reader = ShippedLikeEntries();
  record.loadFromEmbedded(reader, true);
  LogCapture log;
  record.printContent();
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 23u);
  EXPECT_EQ(lines[0], " Configure Load From File! ");
  EXPECT_EQ(lines[1], " [File ContentLength]: 4294967296");
  EXPECT_EQ(lines[8], " [Remote Path]: https://dl.example/s.exe");
  EXPECT_EQ(lines[22], " [TimeoutCfg]: 3, 20");
}

// The build's list "main,other,..." names every host, each once.
TEST(CConfigureHostList, EveryListedHostIsKept) {
  const CConfigure::Hosts three = CConfigure::hostsOf("a.example,b.example:8443,c.example");
  EXPECT_EQ(three.main, "a.example");
  EXPECT_EQ(three.secondary, (std::vector<std::string>{"b.example:8443", "c.example"}));
  const CConfigure::Hosts one = CConfigure::hostsOf("a.example");
  EXPECT_EQ(one.secondary, (std::vector<std::string>{"a.example"}));
}

// The hosts come from the build and stand in the program only scrambled.
TEST(CConfigureHosts, BuiltInHostsAreNotPlainTextInTheProgram) {
  const CConfigure::Hosts hosts = CConfigure::builtInHosts();
  ASSERT_FALSE(hosts.main.empty());
  ASSERT_FALSE(hosts.secondary.empty());
  std::ifstream self(platform::WideToUtf8(platform::System().ModulePath()), std::ios::binary);
  std::ostringstream content;
  content << self.rdbuf();
  const std::string program = content.str();
  ASSERT_GT(program.size(), 100000u);
  EXPECT_EQ(program.find(hosts.main), std::string::npos);
  for (const std::string& host : hosts.secondary) EXPECT_EQ(program.find(host), std::string::npos);
}

}  // namespace
