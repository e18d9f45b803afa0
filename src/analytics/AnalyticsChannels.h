// Deployment data of the analytics front end: the GA4 measurement id (the
// build setting SETUP_GA4_MEASUREMENT_ID, from a publisher's publisher.txt)
// and the channel table that names a site id's sales channel (custom
// dimensions cd2 and cd3, rows in AnalyticsChannels.cpp).
#pragma once

#include <string>

namespace AnalyticsChannels {

// "G-" and ten upper-case letters or digits.
extern const char kGa4MeasurementId[];

// "PPC", "CN" or "SEO".
std::string ChannelGroup(int siteId);
// The channel's name, refined by the start-up download URL for search-engine
// and online rows; the site id in decimal when the table has no row.
std::string ChannelName(int siteId, const std::string& startupUrl);

}  // namespace AnalyticsChannels
