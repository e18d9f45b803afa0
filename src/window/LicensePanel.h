// The main window's licence panel: the licence text of a language in
// "license_text", in an area ("license_text_layout") as high as that
// language's text needs. The installer's window and the skin viewer size it
// alike.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "system/EnumLanguage.h"
#include "toolkit/SkinWindow.h"

// The text of a configuration label of the layout; "" when absent.
using ConfigEntry = std::function<std::wstring(const std::wstring& name)>;

// Copies the language's licence into the panel and sizes its area: the
// language's base height and 170 pixels more, or the height the wrapped text
// takes and a blank end when that is more. The older licence layout
// ("NewLicenseFlag" other than "1") takes a configured "LicenseHeightLang<NN>"
// of at least 1 as the base height. False when the layout has no licence
// control for the language (the panel then keeps its text). The window must
// have been arranged.
bool ShowLicense(toolkit::SkinWindow& window, EnumLanguage language, int32_t siteId, const ConfigEntry& entry);
