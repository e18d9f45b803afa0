// libFuzzer harness for the configuration server's answer: the extraction of
// the <Downloader> part and CConfigure::readDownloadInfoFromXml. Built and
// run by scripts/fuzz-configure.sh (not part of the test suite).
#include <easylogging++.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/CConfigure.h"

namespace {

bool SilenceLog() {
  el::Configurations quiet;
  quiet.setToDefault();
  quiet.set(el::Level::Global, el::ConfigurationType::Enabled, "false");
  el::Loggers::reconfigureLogger("default", quiet);
  return true;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool silenced = SilenceLog();
  (void)silenced;
  const std::string input(reinterpret_cast<const char*>(data), size);
  // An odd first byte puts the rest between the tags, so that most time goes
  // to the element readers rather than to finding the tags.
  const std::string body =
      size > 0 && (data[0] & 1) ? "<Downloader>" + input.substr(1) + "</Downloader>" : input;

  CConfigure record(578, 1033, 10);
  record.storeAnswer(body);
  const int parsed = record.readDownloadInfoFromXml();
  Require(record.loadState == (parsed == CConfigure::kParsed ? CConfigure::kLoaded : CConfigure::kNotLoaded));
  Require(record.productName.size() <= 259);
  Require(record.connectTimeout >= 1 && record.transferTimeout >= 1);
  Require(record.downloadUrlList.size() <= 2);
  for (const std::wstring& url : record.downloadUrlList) {
    Require(!url.empty() && url.find(L"//cdn.") == std::wstring::npos && url.find(L"//dl.") == std::wstring::npos);
    Require(url.find_first_of(L"\r\n") == std::wstring::npos);
  }
  record.printContent();
  return 0;
}
