#include "config/CConfigure.h"

#include <curl/curl.h>
#include <easylogging++.h>
#include <tinyxml2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "download/CLibcurlTool.h"
#include "settings/LocalSettings.h"
#include "system/FuntionImpl.h"
#include "settings/LocalSettings.h"
#include "base/ScrambledText.h"
#include "runstate/RunState.h"
#include "platform/Platform.h"

// The deployment's configuration hosts, "main[,other...]" (each "host" or
// "host:port"). A build sets the CMake cache variable SETUP_CONFIG_HOSTS
// ("main;other;...") to a publisher's hosts, or a test build's to loopback.
#ifndef SETUP_CONFIG_HOSTS
#define SETUP_CONFIG_HOSTS "config.quenlo-example.com,config.quenlo-example.cn"
#endif

namespace {

constexpr int32_t kEmbeddedInstallTimeout = 242;  // InstallTimeout 0 or missing
constexpr size_t kMaxProductName = 259;

// Names of the two entries the program keeps scrambled.
std::string ProcessNameEntry() { return SCRAMBLED_TEXT("Process_name"); }
std::string LicenseFileEntry() { return SCRAMBLED_TEXT("Licensefile_url"); }

// ---- conversions of element texts ----

// Integer text (leading blanks and sign as strtol reads them). False, leaving
// the target unchanged, when the text has no number.
template <typename T>
bool ParseNumber(const std::string& text, T* target) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin) return false;
  *target = static_cast<T>(value);
  return true;
}

std::wstring WithoutLineBreaks(std::wstring text) {
  text.erase(std::remove_if(text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
             text.end());
  return text;
}

bool IsCdnAddress(const std::wstring& url) {
  return url.find(L"//cdn.") != std::wstring::npos || url.find(L"//dl.") != std::wstring::npos;
}

// "a,b" with a comma after the first character: the connect and transfer
// timeouts, values below 1 replaced by the defaults; anything else keeps them.
void ReadTimeoutCfg(CConfigure& record, const std::string& text) {
  LOG(INFO) << " GetCbsInfo TimeoutCfg is: " << text;
  int connect = 0, transfer = 0;
  if (text.size() <= 2 || text.find(',', 1) == std::string::npos ||
      std::sscanf(text.c_str(), "%d%*[^0-9]%d", &connect, &transfer) != 2) {
    return;
  }
  record.connectTimeout = connect < 1 ? 3 : connect;
  record.transferTimeout = transfer < 1 ? 20 : transfer;
  RunState& runState = RunState::Shared();
  runState.SetConnectTimeout(record.connectTimeout);
  runState.SetTransferTimeout(record.transferTimeout);
}

// An integer element that the run state also keeps a copy of.
template <int32_t CConfigure::*Field, void (RunState::*Copy)(int32_t)>
void ReadSetting(CConfigure& record, const std::string& text) {
  if (ParseNumber(text, &(record.*Field))) (RunState::Shared().*Copy)(record.*Field);
}

template <int32_t CConfigure::*Field>
void ReadInteger(CConfigure& record, const std::string& text) {
  ParseNumber(text, &(record.*Field));
}

template <std::wstring CConfigure::*Field>
void ReadAnsi(CConfigure& record, const std::string& text) {
  record.*Field = platform::AnsiToWide(text);
}

template <std::wstring CConfigure::*Field>
void ReadAnsiOneLine(CConfigure& record, const std::string& text) {
  record.*Field = WithoutLineBreaks(platform::AnsiToWide(text));
}

using ElementReader = void (*)(CConfigure&, const std::string&);

// Element name of the server answer -> how its text goes into the record.
const std::map<std::string, ElementReader>& ElementReaders() {
  static const std::map<std::string, ElementReader> readers = {
      {"Downloader_id", &ReadInteger<&CConfigure::downloaderId>},
      {"Software_id", &ReadInteger<&CConfigure::softwareId>},
      {"Site_id", &ReadInteger<&CConfigure::siteId>},
      {"Software_name",
       [](CConfigure& r, const std::string& t) { r.productName = platform::Utf8ToWide(t).substr(0, kMaxProductName); }},
      {"Software_version", &ReadAnsi<&CConfigure::productVersion>},
      {ProcessNameEntry(), &ReadAnsiOneLine<&CConfigure::processName>},
      {"Install_url", &ReadAnsi<&CConfigure::installUrl>},
      {"Banner_url", &ReadAnsi<&CConfigure::bannerUrl>},
      {LicenseFileEntry(), &ReadAnsi<&CConfigure::licenseFileUrl>},
      {"Md5", &ReadAnsi<&CConfigure::md5>},
      {"Md5_extra", &ReadAnsi<&CConfigure::md5Extra>},
      {"Sha256", &ReadAnsi<&CConfigure::sha256>},
      {"Cnet_download_url", &ReadAnsi<&CConfigure::mirrorUrl>},
      {"Download_url", &ReadAnsiOneLine<&CConfigure::downloadUrl>},
      {"Extra_download_url", &ReadAnsiOneLine<&CConfigure::extraDownloadUrl>},
      {"Filesize", [](CConfigure& r, const std::string& t) { ParseNumber(t, &r.fileSize); }},
      {"Downloader_type", &ReadInteger<&CConfigure::downloaderType>},
      {"Downloader_config", &ReadSetting<&CConfigure::downloaderConfig, &RunState::SetDownloaderConfig>},
      {"Slice_num", &ReadSetting<&CConfigure::sliceNum, &RunState::SetSliceNum>},
      {"Slice_size", &ReadSetting<&CConfigure::sliceSize, &RunState::SetSliceSize>},
      {"Additional_time", &ReadSetting<&CConfigure::additionalTime, &RunState::SetAdditionalTime>},
      {"Back_running", &ReadSetting<&CConfigure::backRunning, &RunState::SetBackRunning>},
      {"TimeoutCfg", &ReadTimeoutCfg},
  };
  return readers;
}

// ---- embedded values ----

int32_t EntryInt(IConfigEntryReader& reader, const wchar_t* name) {
  return static_cast<int32_t>(std::wcstol(reader.ReadEntry(name).c_str(), nullptr, 10));
}

}  // namespace

CConfigure::CConfigure(int32_t downloaderId, int32_t languageId, int32_t siteId)
    : downloaderId(downloaderId), siteId(siteId), languageId(languageId), hosts_(builtInHosts()) {}

CConfigure::Hosts CConfigure::builtInHosts() {
  const std::string testHost = LocalSettings::ServiceHost();
  return hostsOf(testHost.empty() ? SCRAMBLED_TEXT(SETUP_CONFIG_HOSTS) : testHost);
}

CConfigure::Hosts CConfigure::hostsOf(const std::string& list) {
  Hosts hosts;
  for (size_t start = 0; start <= list.size();) {
    const size_t end = std::min(list.find(',', start), list.size());
    const std::string host = list.substr(start, end - start);
    if (host.empty()) {
    } else if (hosts.main.empty()) {
      hosts.main = host;
    } else {
      hosts.secondary.push_back(host);
    }
    start = end + 1;
  }
  if (hosts.secondary.empty()) hosts.secondary.push_back(hosts.main);
  return hosts;
}

void CConfigure::setHosts(const Hosts& hosts) {
  std::lock_guard<std::mutex> lock(recordLock_);
  hosts_ = hosts;
}

void CConfigure::loadFromEmbedded(IConfigEntryReader& reader, bool fillList) {
  std::lock_guard<std::mutex> lock(recordLock_);
  loadState = kNotLoaded;
  source = kFromNothing;
  downloadUrlList.clear();
  downloaderId = EntryInt(reader, L"Downloader_id");
  softwareId = EntryInt(reader, L"Software_id");
  siteId = EntryInt(reader, L"Site_id");
  languageId = EntryInt(reader, L"Language_id");
  productName = reader.ReadEntry(L"Software_name");
  productVersion = reader.ReadEntry(L"Software_version");
  processName = reader.ReadEntry(platform::Utf8ToWide(ProcessNameEntry()));
  installUrl = reader.ReadEntry(L"Install_url");
  downloadUrl = reader.ReadEntry(L"Download_url");
  extraDownloadUrl = reader.ReadEntry(L"Extra_download_url");
  bannerUrl = reader.ReadEntry(L"Banner_url");
  licenseFileUrl = reader.ReadEntry(platform::Utf8ToWide(LicenseFileEntry()));
  md5 = reader.ReadEntry(L"Md5");
  fileSize = std::wcstoll(reader.ReadEntry(L"Filesize").c_str(), nullptr, 10);
  md5Extra = reader.ReadEntry(L"Md5_extra");
  sha256.clear();
  installTimeout = EntryInt(reader, L"InstallTimeout");
  if (installTimeout == 0) installTimeout = kEmbeddedInstallTimeout;
  mirrorUrl = reader.ReadEntry(L"Cnet_download_url");
  downloaderType = 1;
  downloaderConfig = sliceNum = sliceSize = additionalTime = backRunning = 0;
  connectTimeout = 3;
  transferTimeout = 20;
  if (fillList) {
    loadState = kLoaded;
    source = kFromFile;
    fillDownloadUrlList();
  }
}

int CConfigure::getDownloadInfoXml(bool sync, bool cn) {
  Hosts hosts;
  {
    std::lock_guard<std::mutex> lock(recordLock_);
    if (!answer_.empty()) return kNoNewAnswer;
    hosts = hosts_;
  }
  const bool testEnv = LocalSettings::IsTestEnv();
  const char* label = testEnv ? "test" : (cn ? "cn" : "com");
  for (const std::string& host : testEnv || !cn ? std::vector<std::string>{hosts.main} : hosts.secondary) {
    if (hasAnswer()) return kNoNewAnswer;
    if (queryHost(host, sync, label)) return kAnswerStored;
  }
  return kNoNewAnswer;
}

bool CConfigure::hasAnswer() {
  std::lock_guard<std::mutex> lock(recordLock_);
  return !answer_.empty();
}

// One query; true when its answer was stored.
bool CConfigure::queryHost(const std::string& host, bool sync, const char* label) {
  const auto start = std::chrono::steady_clock::now();
  float windowsNumber = 0;
  const std::string windowsName = FuntionImpl::GetOSVersionName(&windowsNumber);
  const bool testEnv = LocalSettings::IsTestEnv();
  char url[512];
  std::snprintf(url, sizeof url, "%s://%s/queryDownloaderV2?LanguageId=%d&SoftWareID=%d&SiteID=%d%s",
                testEnv ? "http" : "https", host.c_str(), languageId, downloaderId, siteId,
                windowsNumber < 10 ? "&package_type=5" : "");
  {
    std::lock_guard<std::mutex> lock(recordLock_);
    queryUrl_ = url;
  }

  std::string body;
  CURLcode result;
  {
    CLibcurlTool tool(curl_easy_init());
    result = tool.httpGet(url, body, false);
  }
  const RunState& events = RunState::Shared();
  if (result == CURLE_COULDNT_RESOLVE_HOST) events.SendEvent("Other", "FlowError", "DL003");
  if (result == CURLE_OPERATION_TIMEDOUT) events.SendEvent("Other", "FlowError", "DL002");
  LOG(INFO) << " GetCbsInfo New interface V2(" << (sync ? "Sync " : "Async ") << label << "): " << result
            << ", " << body.size() << ", " << windowsName << ", " << windowsNumber;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  events.SendEvent("Other", sync ? "SyncGetCbsTime" : "AsyncGetCbsTime",
                     std::to_string(static_cast<int>(seconds.count())));

  if (!storeAnswer(body)) return false;
  events.SendFunnel("Download", "Get download configuration",
                      {{"Download configurationType", "Success"}, {"Configuration URL", host}});
  return true;
}

// Keeps the <Downloader> part of the body unless an answer came in meanwhile.
bool CConfigure::storeAnswer(const std::string& body) {
  static const std::string kOpen = "<Downloader>", kClose = "</Downloader>";
  const size_t begin = body.find(kOpen);
  if (begin == std::string::npos) return false;
  const size_t close = body.find(kClose, begin);
  if (close == std::string::npos) return false;
  std::lock_guard<std::mutex> lock(recordLock_);
  if (!answer_.empty()) return false;
  answer_ = body.substr(begin, close + kClose.size() - begin);
  return true;
}

int CConfigure::readDownloadInfoFromXml() {
  std::lock_guard<std::mutex> lock(recordLock_);
  return readLocked();
}

int CConfigure::readLocked() {
  tinyxml2::XMLDocument document;
  const tinyxml2::XMLElement* root = nullptr;
  if (!answer_.empty() && document.Parse(answer_.data(), answer_.size()) == tinyxml2::XML_SUCCESS) {
    root = document.FirstChildElement();
  }
  if (!root) {
    loadState = kNotLoaded;
    return kParseFailed;
  }
  const auto& readers = ElementReaders();
  for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element;
       element = element->NextSiblingElement()) {
    const auto reader = readers.find(element->Name());
    if (reader == readers.end()) continue;
    const char* text = element->GetText();
    reader->second(*this, text ? text : "");
  }
  loadState = kLoaded;
  source = kFromXml;
  fillDownloadUrlList();
  return kParsed;
}

void CConfigure::fillDownloadUrlList() {
  downloadUrlList.clear();
  for (const std::wstring* url : {&downloadUrl, &extraDownloadUrl}) {
    if (!url->empty() && !IsCdnAddress(*url)) downloadUrlList.push_back(*url);
  }
}

void CConfigure::printContent() {
  std::lock_guard<std::mutex> lock(recordLock_);
  const auto text = [](const std::wstring& value) { return platform::WideToUtf8(value); };
  LOG(INFO) << (source == kFromFile  ? " Configure Load From File! "
                : source == kFromXml ? " Configure Load From XML! "
                                     : " Configure Load From Nothing! ");
  LOG(INFO) << " [File ContentLength]: " << fileSize;
  LOG(INFO) << " [Downloader Id]: " << downloaderId;
  LOG(INFO) << " [SoftWare Id]: " << softwareId;
  LOG(INFO) << " [Site Id]: " << siteId;
  LOG(INFO) << " [Language Id]: " << languageId;
  LOG(INFO) << " [Software Name]: " << text(productName);
  LOG(INFO) << " [Software Version]: " << text(productVersion);
  LOG(INFO) << " [Remote Path]: " << text(downloadUrl);
  LOG(INFO) << " [MD5 String]: " << text(md5);
  LOG(INFO) << " [Process Name]: " << text(processName);
  LOG(INFO) << " [Install Url]: " << text(installUrl);
  LOG(INFO) << " [Banner Url]: " << text(bannerUrl);
  LOG(INFO) << " [Licensefile Url]: " << text(licenseFileUrl);
  LOG(INFO) << " [Extra Download Url]: " << text(extraDownloadUrl);
  LOG(INFO) << " [Cnet Download Url]: " << text(mirrorUrl);
  LOG(INFO) << " [MD5 Extra String]: " << text(md5Extra);
  if (!sha256.empty()) LOG(INFO) << " [SHA-256 String]: " << text(sha256);  // only answers that name one
  LOG(INFO) << " [Downloader config]: " << downloaderConfig;
  LOG(INFO) << " [Slice num]: " << sliceNum;
  LOG(INFO) << " [Slice size]: " << sliceSize;
  LOG(INFO) << " [Additional Time]: " << additionalTime;
  LOG(INFO) << " [Allow Back Running]: " << backRunning;
  LOG(INFO) << " [TimeoutCfg]: " << connectTimeout << ", " << transferTimeout;
}

void CConfigure::fetchAsync(const std::function<void()>& handOver) {
  const int first = getDownloadInfoXml(false, false);
  {
    std::lock_guard<std::mutex> lock(recordLock_);
    if (abandoned_) {
      LOG(INFO) << " GetDownloaderInfo(Async) abandon";
      return;
    }
  }
  if (first != kAnswerStored) getDownloadInfoXml(false, true);
  {
    std::lock_guard<std::mutex> lock(recordLock_);
    if (abandoned_) {
      LOG(INFO) << " GetDownloaderInfo(Async) abandon";
      return;
    }
    readLocked();
  }
  if (handOver) handOver();
}

void CConfigure::completeForInstall(IConfigEntryReader& reader, const std::function<void()>& handOver) {
  bool refused = false;
  {
    std::lock_guard<std::mutex> lock(recordLock_);
    abandoned_ = true;
    refused = answerRefused_;
  }
  if (loadState != kLoaded) {
    if (!refused) {
      if (getDownloadInfoXml(true, false) != kAnswerStored) getDownloadInfoXml(true, true);
      readDownloadInfoFromXml();
    }
    if (handOver) handOver();
    if (loadState != kLoaded) loadFromEmbedded(reader, true);
  }
  if (loadState == kLoaded) printContent();
}

void CConfigure::refuseAnswer() {
  std::lock_guard<std::mutex> lock(recordLock_);
  answerRefused_ = true;
  loadState = kNotLoaded;
}

void CConfigure::setLinks(const std::string& code, const std::wstring& privacyUrl,
                          const std::wstring& licenseUrl) {
  std::lock_guard<std::mutex> lock(linkLock_);
  links_[code] = {privacyUrl, licenseUrl};
}

void CConfigure::setFallbackLinks(const std::wstring& licenseUrl, const std::wstring& privacyUrl) {
  std::lock_guard<std::mutex> lock(linkLock_);
  licenseUrl_ = licenseUrl;
  privacyUrl_ = privacyUrl;
}

bool CConfigure::getServerFileSize(int64_t* size) {
  std::lock_guard<std::mutex> lock(recordLock_);
  if (loadState != kLoaded || source != kFromXml) return false;
  *size = fileSize;
  return true;
}

std::wstring CConfigure::getProcessName() {
  std::lock_guard<std::mutex> lock(recordLock_);
  return processName;
}

int32_t CConfigure::getSoftwareId() {
  std::lock_guard<std::mutex> lock(recordLock_);
  return softwareId;
}

std::wstring CConfigure::getLicenseUrl(const std::string& code) {
  std::lock_guard<std::mutex> lock(linkLock_);
  const auto found = links_.find(code);
  return found != links_.end() && !found->second.second.empty() ? found->second.second : licenseUrl_;
}

std::wstring CConfigure::getPrivacyUrl(const std::string& code) {
  std::lock_guard<std::mutex> lock(linkLock_);
  const auto found = links_.find(code);
  return found != links_.end() && !found->second.first.empty() ? found->second.first : privacyUrl_;
}

std::string CConfigure::getQueryUrl() {
  std::lock_guard<std::mutex> lock(recordLock_);
  return queryUrl_;
}
