#include "window/LicensePanel.h"

#include "window/Language.h"

namespace {

// Blank space below the last line, so that the end of the licence shows as an end.
constexpr int kEndMargin = 24;

}  // namespace

bool ShowLicense(toolkit::SkinWindow& window, EnumLanguage language) {
  const toolkit::Control* license = window.Find(GetLicenseControlName(language));
  if (!license) return false;
  toolkit::Control* text = window.Find("license_text");
  toolkit::Control* area = window.Find("license_text_layout");
  if (!text || !area) return true;
  text->look.text = license->look.text;
  area->layout.height =
      window.FittingHeight(text) + text->layout.padding.top + text->layout.padding.bottom + kEndMargin;
  return true;
}
