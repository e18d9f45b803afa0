// The two data-service threads: the privacy links of the newer licence layout
// and the banner pictures of the carousel. Neither touches a control or the
// image cache: the links go into the download configuration's table (under
// its lock), the banner records into the window's map (under bannerLock_),
// and MSG_BANNER_READY tells the UI thread.
#include <easylogging++.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "config/DataServiceAnswer.h"
#include "download/CDownloader.h"
#include "download/CLibcurlTool.h"
#include "download/DownLoadImpl.h"
#include "install/InstallMessages.h"
#include "platform/Network.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "system/FuntionImpl.h"
#include "toolkit/PlatformBackend.h"
#include "window/InstallUIMainWnd.h"
#include "window/Language.h"

namespace {

constexpr int kAttempts = 3;
constexpr auto kAttemptPause = std::chrono::milliseconds(100);
// A banner picture larger than this is not read, let alone decoded.
constexpr int64_t kMaxPictureBytes = 16 * 1024 * 1024;

// What a data-service request logs and reports.
struct FetchLabels {
  const char* attemptPrefix;            // each attempt's line
  const char *category, *action, *key;  // the funnel pair of each attempt's duration
  const char* parsedPrefix;             // the line of the parse
  const char* refusedPrefix;            // the line of an answer whose code is not 200
};

// The time bucket of the whole seconds since the tick count `start`.
std::string SecondsBucketSince(uint32_t start) {
  return FuntionImpl::TimeBucketText(static_cast<uint32_t>(platform::TickCount() - start) / 1000, "s");
}

// The answer of a GET: up to three attempts, until one brings a non-empty
// answer without error; the last answer otherwise.
std::string FetchAnswer(const std::string& url, const FetchLabels& labels, CSingleUserLog& analytics) {
  CLibcurlTool tool(curl_easy_init());
  std::string answer;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    const uint32_t start = platform::TickCount();
    const CURLcode result = tool.httpGet(url.c_str(), answer, false);
    LOG(INFO) << labels.attemptPrefix << attempt << ", " << result << ", " << url.size() << ", " << answer.size();
    analytics.AddUserLog_funnelPair(labels.category, labels.action, labels.key, SecondsBucketSince(start));
    if (result == CURLE_OK && !answer.empty()) break;
    if (attempt < kAttempts) std::this_thread::sleep_for(kAttemptPause);
  }
  return answer;
}

// The elements of the answer to `url`, read by `parse`; false when there is
// no usable answer.
template <typename Item>
bool FetchElements(const std::string& url, const FetchLabels& labels, CSingleUserLog& analytics,
                   DataServiceAnswer::Result (*parse)(const std::string&, std::vector<Item>*, std::string*),
                   std::vector<Item>* items) {
  const std::string answer = FetchAnswer(url, labels, analytics);
  std::string error;
  const DataServiceAnswer::Result result = parse(answer, items, &error);
  const bool parsed = result != DataServiceAnswer::kNotJson;
  LOG(INFO) << labels.parsedPrefix << (parsed ? 1 : 0) << ", " << (parsed ? 0 : error.size());
  if (result == DataServiceAnswer::kRefused) LOG(INFO) << labels.refusedPrefix << answer;
  if (result == DataServiceAnswer::kWrongShape)
    LOG(INFO) << " [Error]: data-service answer of the wrong shape: " << error;
  return result == DataServiceAnswer::kOk;
}

// An empty address marks the link as missing; any other replaces it.
void TakeLink(const std::string& url, std::wstring* link, bool* missing) {
  if (url.empty()) *missing = true;
  else *link = platform::Utf8ToWide(url);
}

bool IsWebAddress(const std::string& url) {
  return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

// True when the file holds a picture this platform decodes; otherwise the file is deleted.
bool KeepPicture(const toolkit::PictureDecoder& decoder, const std::wstring& file) {
  std::string bytes;
  uint32_t error = 0;
  if (FILE* in = platform::OpenFile(file, "rb", &error)) {
    const long size = std::fseek(in, 0, SEEK_END) == 0 ? std::ftell(in) : -1;
    if (size > 0 && size <= kMaxPictureBytes && std::fseek(in, 0, SEEK_SET) == 0) {
      bytes.resize(static_cast<size_t>(size));
      bytes.resize(std::fread(&bytes[0], 1, bytes.size(), in));
    }
    std::fclose(in);
  }
  toolkit::Image image;
  std::string complaint;
  if (!bytes.empty() && decoder.Decode(bytes, &image, &complaint)) return true;
  platform::RemoveFile(file);
  return false;
}

}  // namespace

void InstallUIMainWnd::GetCbsPrivacy() {
  LOG(INFO) << "get privacy and license url";
  const std::string url = FuntionImpl::GetPrivacyUrl(mainPid_.value_or(0));
  std::vector<DataServiceAnswer::LanguageLinks> languages;
  const FetchLabels labels{" Get Cbs tcp1: ", "StartDownloader", "ObtainProtocolTime", "ProtocolObtainProtocolTime",
                           " Get Cbs tcp2: ", " Get Cbs tcp fail: "};
  if (!FetchElements(url, labels, analytics_, DataServiceAnswer::ParsePrivacyLinks, &languages)) return;
  bool licenseMissing = false, privacyMissing = false;
  for (const DataServiceAnswer::LanguageLinks& language : languages) {
    std::wstring license, privacy;
    for (size_t j = 0; j < language.urls.size(); ++j) {
      const DataServiceAnswer::LinkEntry& link = language.urls[j];
      LOG(INFO) << " Get Cbs tcp3: " << j << ", " << link.field << ", " << link.url.size();
      if (link.field == "tc") TakeLink(link.url, &license, &licenseMissing);
      else if (link.field == "p") TakeLink(link.url, &privacy, &privacyMissing);
    }
    configure_->setLinks(language.langCode, privacy, license);
  }
  // A "FlowError" event also reports its "ErrorReporting" funnel pair.
  if (licenseMissing) analytics_.AddUserLogEvent("Other", "FlowError", "DL005");
  if (privacyMissing) analytics_.AddUserLogEvent("Other", "FlowError", "DL004");
}

void InstallUIMainWnd::GetCbsBanner() {
  LOG(INFO) << "get banner from server";
  const std::string url = FuntionImpl::GetBannerPicUrl(mainPid_.value_or(0), GetLanguageCode(currentLanguage_));
  std::vector<DataServiceAnswer::Banner> banners;
  const FetchLabels labels{" Get Cbs Ban1: ", "Download", "ObtainCarouselMapTime", "CarouselMapTimeInterval",
                           " Get Cbs Ban2: ", " Get Cbs Ban fail: "};
  if (!FetchElements(url, labels, analytics_, DataServiceAnswer::ParseBanners, &banners)) return;
  if (downloadFolder_.empty()) {
    LOG(INFO) << " [Error]: no download folder for the banners";
    return;
  }
  const size_t count = banners.size();
  std::map<int, BannerRecord> delivered;
  size_t deliveredCount = 0;
  for (size_t m = 0; m < count; ++m) {
    const DataServiceAnswer::Banner& banner = banners[m];
    LOG(INFO) << " Get Cbs Ban3: " << banner.bannerUrl.size() << ", " << m << "/" << count;
    if (banner.bannerUrl.empty()) continue;
    const std::wstring localFile = FuntionImpl::JoinPath(
        downloadFolder_, platform::Utf8ToWide(DataServiceAnswer::BannerFileName(banner.sort, banner.bannerUrl)));
    const uint32_t start = platform::TickCount();
    const std::wstring pictureUrl = platform::Utf8ToWide(banner.bannerUrl);
    if (IsWebAddress(banner.bannerUrl) &&
        DownloadBannerPicture(pictureUrl, localFile, m, count, static_cast<int>(deliveredCount))) {
      ++deliveredCount;
      delivered[banner.sort] = BannerRecord{pictureUrl, platform::Utf8ToWide(banner.jumpUrl),
                                            platform::Utf8ToWide(banner.prompt), localFile, banner.sort};
    }
    analytics_.AddUserLog_funnelPair("Download", "DownloadCarouselImagesTime", "DownloadCarouselImagesTimeInterval",
                                     SecondsBucketSince(start));
  }
  if (count == 0 || deliveredCount != count) return;
  LOG(INFO) << " Get Banner success";
  DeliverBanners(std::move(delivered));
}

bool InstallUIMainWnd::DownloadBannerPicture(const std::wstring& url, const std::wstring& localFile, size_t index,
                                             size_t count, int delivered) {
  const std::unique_ptr<toolkit::PictureDecoder> decoder = toolkit::CreatePictureDecoder();
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    LOG(INFO) << " Get Cbs Ban4: " << index << "/" << count << ", " << attempt << "/" << kAttempts;
    const int32_t system = platform::DownloadUrlToFile(url, localFile);
    LOG(INFO) << " Get Cbs Ban5_1: " << system;
    if (system == 0) {
      if (KeepPicture(*decoder, localFile)) {
        LOG(INFO) << " Get Cbs Ban " << delivered + 1 << " Success 1";
        return true;
      }
      LOG(INFO) << " Get Cbs Ban " << count << " Fail 1";
    }
    platform::RemoveFile(localFile);  // what the first way left
    std::string cdnInfo;
    const int engine = CDownLoadImpl::SuperDownloadFile(url.c_str(), localFile.c_str(), cdnInfo, false);
    platform::RemoveFile(localFile + L".xml");  // the engine's task file: a picture is fetched whole again
    LOG(INFO) << " Get Cbs Ban5_2: " << engine;
    if (engine == DownloadOk && KeepPicture(*decoder, localFile)) {
      LOG(INFO) << " Get Cbs Ban " << delivered + 1 << " Success 2";
      return true;
    }
    platform::RemoveFile(localFile);
    LOG(INFO) << " Get Cbs Ban " << count << " Fail 2";
  }
  return false;
}

std::map<int, BannerRecord> InstallUIMainWnd::DeliveredBanners() {
  std::lock_guard<std::mutex> guard(bannerLock_);
  return banners_;
}
