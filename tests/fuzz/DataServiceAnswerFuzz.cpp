// libFuzzer harness for the data service's two answers (DataServiceAnswer):
// whatever the text, the parsers return a result and never throw or assert;
// a failed answer yields no elements, and no banner file name can hold a path.
//
//   scripts/fuzz-build.sh data_service_answer_fuzz
//   build/fuzz/data_service_answer_fuzz -dict=tests/fuzz/sdk_json.dict tests/fuzz/seeds/DataServiceAnswer
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/DataServiceAnswer.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsKnown(DataServiceAnswer::Result result) {
  return result == DataServiceAnswer::kOk || result == DataServiceAnswer::kNotJson ||
         result == DataServiceAnswer::kRefused || result == DataServiceAnswer::kWrongShape;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;

  std::vector<DataServiceAnswer::Banner> banners;
  const DataServiceAnswer::Result bannerResult = DataServiceAnswer::ParseBanners(text, &banners, &error);
  Require(IsKnown(bannerResult));
  Require(bannerResult == DataServiceAnswer::kOk || banners.empty());
  for (const DataServiceAnswer::Banner& banner : banners) {
    const std::string name = DataServiceAnswer::BannerFileName(banner.sort, banner.bannerUrl);
    Require(name.find_first_of("/\\:?#") == std::string::npos && name.find("..") == std::string::npos);
  }

  std::vector<DataServiceAnswer::LanguageLinks> links;
  const DataServiceAnswer::Result linkResult = DataServiceAnswer::ParsePrivacyLinks(text, &links, &error);
  Require(IsKnown(linkResult));
  Require(linkResult == DataServiceAnswer::kOk || links.empty());
  // The "code" verdict and the JSON parse do not depend on the element type.
  Require((bannerResult == DataServiceAnswer::kNotJson) == (linkResult == DataServiceAnswer::kNotJson));
  Require((bannerResult == DataServiceAnswer::kRefused) == (linkResult == DataServiceAnswer::kRefused));
  return 0;
}
