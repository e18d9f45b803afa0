// One delivery attempt of a queued item: an HTTPS POST to the analytics
// collector (event records, answered with 200) or to the GA4 endpoint (GA4
// requests, answered with 204). Certificates are verified like every other
// request of the installer: the system store, plus the settings file's CA
// bundle, unless the settings file switches the checks off for a test setup.
// The proxy is the one the system names, unless "proxy.txt" beside the
// installer names another.
#pragma once

#include <atomic>

#include <string>

#include "SendItem.h"

// Where and how long to deliver. The hosts are deployment settings fixed at
// build time (SETUP_COLLECTOR_HOST, SETUP_COLLECTOR_TEST_HOST, SETUP_GA4_HOST;
// in builds for tests the settings file's AnalyticsHost may replace them).
struct DeliveryConfig {
  std::string collectorUrl;      // production collector, ".../collect"
  std::string testCollectorUrl;  // test collector, ".../collector"
  std::string ga4Base;           // scheme and host of the GA4 endpoint
  long connectTimeoutSeconds = 30;
  long totalTimeoutSeconds = 40;

  static DeliveryConfig BuiltIn();
};

class CDeliveryClient {
 public:
  // `installerDir` holds "proxy.txt"; `testEnv` picks the test collector.
  // A request in flight ends within a second once *cancel turns true (null: never).
  CDeliveryClient(DeliveryConfig config, std::wstring installerDir, bool testEnv,
                  const std::atomic<bool>* cancel = nullptr);

  const DeliveryConfig& Config() const { return config_; }
  // One attempt; a DeliveryResult: accepted when the endpoint answered
  // with its success code. `limitMs` (0: none) bounds the attempt below
  // the configured time limits.
  int Attempt(const SendItem& item, int limitMs = 0) const;
  // One POST; the HTTP status, 0 when no answer arrived.
  int PostDataError(const std::string& url, const std::string& body, int limitMs = 0) const;
  // The first word of "proxy.txt", or empty.
  std::string Proxy() const;

 private:
  DeliveryConfig config_;
  std::wstring installerDir_;
  bool testEnv_;
  const std::atomic<bool>* cancel_;
};
