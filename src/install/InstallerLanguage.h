// The language the real installer and the installed product use: the code
// of the installer's /LANG= switch and the registry values the product
// reads at its first start.
#pragma once

#include <cstdint>
#include <string>

#include "system/EnumLanguage.h"

// The /LANG= code: "en", "ja" (or "jp" for the products whose installers
// name Japanese so), "zhcn", ... ; "en" for an unknown language.
std::wstring InstallerLanguageCode(EnumLanguage language, int32_t downloaderId);
// Writes the language where the product of `downloaderId` looks for it:
// its own key for a few products, else the Inno Setup value of the product's
// uninstall record (only when that record's parent key opens and the
// product name is fit for a key). Failures are silent.
void StoreInstallerLanguage(EnumLanguage language, int32_t downloaderId, const std::wstring& productName);
