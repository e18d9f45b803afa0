// The deployment's channel table. Edit the rows below to publish for other
// sales channels; the rules at the end read them.
#include "analytics/AnalyticsChannels.h"

// The build's setting (a publisher's publisher.txt); only this file sees it.
#ifndef SETUP_GA4_MEASUREMENT_ID
#error "SETUP_GA4_MEASUREMENT_ID is set by the build"
#endif

#include <algorithm>
#include <cctype>

namespace AnalyticsChannels {

const char kGa4MeasurementId[] = SETUP_GA4_MEASUREMENT_ID;

namespace {

// How the start-up download URL refines a row's name.
enum class Refine {
  kNone,
  kBingOrYahoo,  // "-Bing" for "_bing_"/"_bing.", else "-Yahoo" for "_yahoo_"/"_yahoo."
  kBingOnly,     // "-Bing" for "_bing_"/"_bing."
  kOnline,       // "Online" for "_online"/"_online."
};

struct ChannelRow {
  int siteId;
  const char* name;
  Refine refine;
};

const ChannelRow kChannels[] = {
    {1, "Official", Refine::kNone},
    {2, "SearchAds", Refine::kBingOrYahoo},
    {3, "Newsletter", Refine::kNone},
    {5, "Affiliate", Refine::kNone},
    {8, "SearchAds", Refine::kBingOnly},
    {12, "Partner", Refine::kNone},
    {19, "Store", Refine::kOnline},
    {23, "Review", Refine::kNone},
    {31, "Forum", Refine::kNone},
    {40, "Video", Refine::kNone},
    {54, "RegionalStore", Refine::kNone},
    {61, "Bundle", Refine::kNone},
    {74, "SearchAds", Refine::kBingOrYahoo},
    {84, "DisplayAds", Refine::kNone},
    {93, "RegionalSearch", Refine::kNone},
    {101, "SocialMedia", Refine::kNone},
    {120, "Reseller", Refine::kOnline},
    {150, "Education", Refine::kNone},
    {206, "ShoppingAds", Refine::kNone},
    {230, "Blog", Refine::kNone},
    {290, "RegionalPartner", Refine::kNone},
    {293, "VideoAds", Refine::kNone},
    {305, "SocialAds", Refine::kNone},
    {320, "Download", Refine::kNone},
    {338, "BrandAds", Refine::kBingOrYahoo},
    {354, "RegionalOfficial", Refine::kNone},
    {400, "Support", Refine::kNone},
};

const int kPpcSites[] = {2, 8, 74, 84, 206, 293, 305, 338};
const int kCnSites[] = {54, 93, 290, 354};

template <size_t N>
bool Contains(const int (&ids)[N], int siteId) {
  return std::find(std::begin(ids), std::end(ids), siteId) != std::end(ids);
}

bool HasMarker(const std::string& lowerUrl, const std::string& word) {
  return lowerUrl.find("_" + word + "_") != std::string::npos || lowerUrl.find("_" + word + ".") != std::string::npos;
}

std::string Suffix(Refine refine, const std::string& url) {
  std::string lower = url;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  switch (refine) {
    case Refine::kBingOrYahoo:
      if (HasMarker(lower, "bing")) return "-Bing";
      return HasMarker(lower, "yahoo") ? "-Yahoo" : "";
    case Refine::kBingOnly:
      return HasMarker(lower, "bing") ? "-Bing" : "";
    case Refine::kOnline:
      return lower.find("_online") != std::string::npos ? "Online" : "";
    default:
      return "";
  }
}

}  // namespace

std::string ChannelGroup(int siteId) {
  if (Contains(kPpcSites, siteId)) return "PPC";
  return Contains(kCnSites, siteId) ? "CN" : "SEO";
}

std::string ChannelName(int siteId, const std::string& startupUrl) {
  for (const ChannelRow& row : kChannels)
    if (row.siteId == siteId) return row.name + Suffix(row.refine, startupUrl);
  return std::to_string(siteId);
}

}  // namespace AnalyticsChannels
