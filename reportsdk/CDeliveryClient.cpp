#include "CDeliveryClient.h"

#include <curl/curl.h>

#include <sstream>

#include "SdkLog.h"
#include "net/HttpTransport.h"
#include "platform/SharedFile.h"
#include "settings/LocalSettings.h"

// The deployment's hosts; a publisher's build sets its own (hosts.txt).
#ifndef SETUP_COLLECTOR_HOST
#define SETUP_COLLECTOR_HOST "collect.quenlo-example.com"
#endif
#ifndef SETUP_COLLECTOR_TEST_HOST
#define SETUP_COLLECTOR_TEST_HOST "collect-test.quenlo-example.com"
#endif
#ifndef SETUP_GA4_HOST
#define SETUP_GA4_HOST "www.google-analytics.com"
#endif

namespace {

size_t CollectAnswer(void* data, size_t size, size_t count, void* answer) {
  static_cast<std::string*>(answer)->append(static_cast<const char*>(data), size * count);
  return size * count;
}

// Only a request the collector can never take is refused for good: a
// malformed one (400) or one too large (413, 414). Every other answer, a
// 401, 403 or 404 of a collector being deployed among them, may change.
int ResultOf(int status, int success) {
  if (status == success) return kDeliveryAccepted;
  const bool refused = status == 400 || status == 413 || status == 414;
  return refused ? kDeliveryRefused : kDeliveryFailed;
}

// libcurl calls it at least once a second: a stopping sender ends its request.
int CancelCallback(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

long LimitedMs(long seconds, int limitMs) {
  const long configured = seconds * 1000;
  return limitMs > 0 && limitMs < configured ? limitMs : configured;
}

}  // namespace

// A build for tests may send every analytics item to one host of its
// settings file instead (AnalyticsHost: the demo's loopback services).
DeliveryConfig DeliveryConfig::BuiltIn() {
  const std::string testHost = LocalSettings::AnalyticsHost();
  const auto url = [&testHost](const char* host, const char* path) {
    return "https://" + (testHost.empty() ? std::string(host) : testHost) + path;
  };
  DeliveryConfig config;
  config.collectorUrl = url(SETUP_COLLECTOR_HOST, "/collect");
  config.testCollectorUrl = url(SETUP_COLLECTOR_TEST_HOST, "/collector");
  config.ga4Base = url(SETUP_GA4_HOST, "");
  return config;
}

CDeliveryClient::CDeliveryClient(DeliveryConfig config, std::wstring installerDir, bool testEnv,
                                 const std::atomic<bool>* cancel)
    : config_(std::move(config)), installerDir_(std::move(installerDir)), testEnv_(testEnv), cancel_(cancel) {}

int CDeliveryClient::Attempt(const SendItem& item, int limitMs) const {
  switch (item.kind) {
    case kSendKindGa4Query:
      // The queue file names the request's address, and any user may write
      // it: only an address of the built-in endpoint is asked.
      if (item.content.rfind(config_.ga4Base + "/", 0) != 0) {
        WriteSdkLog("Queued GA4 request for another host dropped");
        return kDeliveryRefused;
      }
      return ResultOf(PostDataError(item.content, "", limitMs), 204);
    case kSendKindEventJson:
      return ResultOf(
          PostDataError(testEnv_ ? config_.testCollectorUrl : config_.collectorUrl, item.content, limitMs), 200);
    default:
      return kDeliveryRefused;
  }
}

std::string CDeliveryClient::Proxy() const {
  std::string bytes, word;
  platform::ReadFileBytes(installerDir_ + L"proxy.txt", &bytes);
  std::istringstream(bytes) >> word;
  return word;
}

int CDeliveryClient::PostDataError(const std::string& url, const std::string& body, int limitMs) const {
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
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, LimitedMs(config_.connectTimeoutSeconds, limitMs));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, LimitedMs(config_.totalTimeoutSeconds, limitMs));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectAnswer);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
  if (cancel_) {
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, CancelCallback);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, cancel_);
  }
  // "proxy.txt" overrides the system's proxy for the analytics alone. The
  // SDK keeps its own log, not the installer's.
  CURLcode result = HttpTransport::Apply(handle, url, Proxy(), HttpTransport::Log::kQuiet);
  if (result == CURLE_OK) result = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (result != CURLE_OK || (status != 200 && status != 204))
    WriteSdkLog("PostDataError: %d, %s, %ld", static_cast<int>(result), curl_easy_strerror(result), status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(handle);
  return static_cast<int>(status);
}
