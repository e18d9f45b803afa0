// The data service's two JSON answers, checked by type at every level before
// any value is used: an answer of the wrong shape is a failed answer, never a
// partial one.
//
// Banners: an array of objects {banner_url, jump_url, prompt: texts; sort:
// integer}. Privacy links: an array of objects {lang_code: text; urls: array
// of objects {field, url: texts}}. A text member may be absent (empty); `sort`
// must be there. An answer whose text holds "code" in double quotation marks
// is the service's verdict: it must be an object whose `code` is 200, and as
// it is no array it carries no elements.
#pragma once

#include <string>
#include <vector>

namespace DataServiceAnswer {

enum Result : int {
  kOk = 0,
  kNotJson = 1,     // the parser's error text says why
  kRefused = 2,     // a "code" answer whose code is not 200
  kWrongShape = 3,  // the error text names the value
};

struct Banner {
  std::string bannerUrl, jumpUrl, prompt;  // UTF-8
  int sort = 0;
};

struct LinkEntry {
  std::string field, url;  // UTF-8
};

struct LanguageLinks {
  std::string langCode;
  std::vector<LinkEntry> urls;
};

Result ParseBanners(const std::string& text, std::vector<Banner>* banners, std::string* error);
Result ParsePrivacyLinks(const std::string& text, std::vector<LanguageLinks>* links, std::string* error);

// The local file name of a banner picture: `sort` and the extension of the
// last path segment of its address (never of the query or the fragment)
// when that is 1 to 5 ASCII letters or digits, else ".png".
std::string BannerFileName(int sort, const std::string& bannerUrl);

}  // namespace DataServiceAnswer
