// The data service's signed request addresses and the time buckets of the
// analytics durations around its requests.
#include <easylogging++.h>

#include <ctime>
#include <string>

#include "base/ScrambledText.h"
#include "platform/Digest.h"
#include "settings/LocalSettings.h"
#include "system/FuntionImpl.h"

// The deployment's data-service hosts; a demo or test build may set others.
#ifndef SETUP_DATA_HOST
#define SETUP_DATA_HOST "data.quenlo-example.com"
#endif
#ifndef SETUP_DATA_TEST_HOST
#define SETUP_DATA_TEST_HOST "data-test.quenlo-example.com"
#endif

namespace {

// Shared with the data service: it recomputes the signature with it.
constexpr char kSalt[] = "pWm4Tq8ZcLd2Ke7N";

std::string Signed(const std::string& query) { return query + "&verify=" + md5Hex(query + kSalt); }

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

namespace FuntionImpl {

std::string DataServiceHost() {
  const std::string host = LocalSettings::ServiceHost();
  if (!host.empty()) return host;
  return LocalSettings::IsTestEnv() ? SCRAMBLED_TEXT(SETUP_DATA_TEST_HOST) : SCRAMBLED_TEXT(SETUP_DATA_HOST);
}

std::string BannerQuery(int32_t parentPid, const std::string& languageCode, int64_t timestamp) {
  return Signed("lang_code=" + languageCode + "&parent_pid=" + std::to_string(parentPid) +
                "&timestamp=" + std::to_string(timestamp) + "&type=1");
}

std::string PrivacyQuery(int32_t parentPid, int64_t timestamp) {
  return Signed("parent_pid=" + std::to_string(parentPid) + "&timestamp=" + std::to_string(timestamp));
}

std::string GetBannerPicUrl(int32_t parentPid, const std::string& languageCode) {
  const std::string query = BannerQuery(parentPid, languageCode, Now());
  LOG(INFO) << " BAN: " << query;
  return "https://" + DataServiceHost() + "/api/v1/banners?" + query;
}

std::string GetPrivacyUrl(int32_t parentPid) {
  const std::string query = PrivacyQuery(parentPid, Now());
  LOG(INFO) << " TCP: " << query;
  return "https://" + DataServiceHost() + "/api/v1/user_privacy_info?" + query;
}

std::string TimeBucketText(int64_t seconds, const std::string& suffix) {
  const int64_t low = seconds / 3 * 3;
  return "[" + std::to_string(low) + "~" + std::to_string(low + 3) + "]" + suffix;
}

}  // namespace FuntionImpl
