#include "window/LicensePanel.h"

#include <algorithm>
#include <cwchar>
#include <cstdlib>

#include "platform/Platform.h"
#include "window/Language.h"

namespace {

// Blank space below the last line, so that the end of the licence shows as an end.
constexpr int kEndMargin = 24;

int LicenseAreaHeight(EnumLanguage language, int32_t siteId, const ConfigEntry& entry, int textHeight) {
  int base = GetLicenseHeight(language, siteId);
  wchar_t key[32];
  std::swprintf(key, sizeof key / sizeof *key, L"LicenseHeightLang%02d", static_cast<int>(language));
  const int configured = std::atoi(platform::WideToAnsi(entry(key)).c_str());
  if (entry(L"NewLicenseFlag") != L"1" && configured >= 1) base = configured;
  return std::max(base + 170, textHeight);
}

}  // namespace

bool ShowLicense(toolkit::SkinWindow& window, EnumLanguage language, int32_t siteId, const ConfigEntry& entry) {
  const toolkit::Control* license = window.Find(GetLicenseControlName(language));
  if (!license) return false;
  toolkit::Control* text = window.Find("license_text");
  toolkit::Control* area = window.Find("license_text_layout");
  if (!text || !area) return true;
  text->look.text = license->look.text;
  const int textHeight =
      window.FittingHeight(text) + text->layout.padding.top + text->layout.padding.bottom + kEndMargin;
  area->layout.height = LicenseAreaHeight(language, siteId, entry, textHeight);
  return true;
}
