#include "CDeliveryClient.h"

#include <curl/curl.h>

#include <filesystem>
#include <fstream>

#include "SdkLog.h"
#include "download/CLibcurlTool.h"

#ifndef SETUP_COLLECTOR_HOST
#define SETUP_COLLECTOR_HOST "127.0.0.1:47810"
#endif
#ifndef SETUP_COLLECTOR_TEST_HOST
#define SETUP_COLLECTOR_TEST_HOST "127.0.0.1:47811"
#endif
#ifndef SETUP_GA4_HOST
#define SETUP_GA4_HOST "127.0.0.1:47812"
#endif

namespace {

size_t CollectAnswer(void* data, size_t size, size_t count, void* answer) {
  static_cast<std::string*>(answer)->append(static_cast<const char*>(data), size * count);
  return size * count;
}

// A 4xx answer refuses the request itself, except 408 (request timeout)
// and 429 (too many requests), which ask to come again later.
int ResultOf(int status, int success) {
  if (status == success) return kDeliveryAccepted;
  const bool refused = status >= 400 && status < 500 && status != 408 && status != 429;
  return refused ? kDeliveryRefused : kDeliveryFailed;
}

}  // namespace

DeliveryConfig DeliveryConfig::BuiltIn() {
  DeliveryConfig config;
  config.collectorUrl = std::string("https://") + SETUP_COLLECTOR_HOST + "/collect";
  config.testCollectorUrl = std::string("https://") + SETUP_COLLECTOR_TEST_HOST + "/collector";
  config.ga4Base = std::string("https://") + SETUP_GA4_HOST;
  return config;
}

CDeliveryClient::CDeliveryClient(DeliveryConfig config, std::wstring installerDir, bool testEnv)
    : config_(std::move(config)), installerDir_(std::move(installerDir)), testEnv_(testEnv) {}

int CDeliveryClient::Attempt(const SendItem& item) const {
  switch (item.kind) {
    case kSendKindGa4Query:
      // The queue file names the request's address, and any user may write
      // it: only an address of the built-in endpoint is asked.
      if (item.content.rfind(config_.ga4Base + "/", 0) != 0) {
        WriteSdkLog("Queued GA4 request for another host dropped");
        return kDeliveryRefused;
      }
      return ResultOf(PostDataError(item.content, ""), 204);
    case kSendKindEventJson:
      return ResultOf(PostDataError(testEnv_ ? config_.testCollectorUrl : config_.collectorUrl, item.content), 200);
    default:
      return kDeliveryRefused;
  }
}

std::string CDeliveryClient::Proxy() const {
  std::ifstream in(std::filesystem::path(installerDir_ + L"proxy.txt"));
  std::string word;
  in >> word;
  return word;
}

int CDeliveryClient::PostDataError(const std::string& url, const std::string& body) const {
  CURL* handle = curl_easy_init();
  if (!handle) return 0;
  curl_slist* headers = nullptr;
  for (const char* header : {"User-Agent:PostmanRuntime/7.29.2", "Accept:*/*", "Accept-Encoding:gzip, deflate, br",
                             "Connection:keep-alive", "Content-Type:application/json; charset=utf-8"})
    headers = curl_slist_append(headers, header);
  std::string answer;
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, config_.connectTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, config_.totalTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectAnswer);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
  // "proxy.txt" overrides the system's proxy for the analytics alone. This
  // thread may run during the exit handlers, so it keeps out of the
  // installer's log.
  CURLcode result = CLibcurlTool::ApplyTransport(handle, url, Proxy(), CLibcurlTool::TransportLog::kQuiet);
  if (result == CURLE_OK) result = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (result != CURLE_OK || (status != 200 && status != 204))
    WriteSdkLog("PostDataError: %d, %s, %ld", static_cast<int>(result), curl_easy_strerror(result), status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(handle);
  return static_cast<int>(status);
}
