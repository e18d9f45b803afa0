#include "install/InstallerLanguage.h"

#include "base/ScrambledText.h"
#include "install/InstallFiles.h"
#include "platform/Platform.h"

namespace {

const wchar_t* const kInnoCodes[kLanguageCount] = {
    L"en", L"ja", L"zhcn", L"es", L"de", L"fr", L"ru", L"pt", L"ar", L"it", L"zhtw",
    L"ko", L"nl", L"id", L"tr", L"hi", L"th", L"my", L"se", L"cz", L"vi"};

// The products whose installers call Japanese "jp".
bool SaysJp(int32_t downloaderId) {
  return downloaderId >= 117 && downloaderId <= 125 && downloaderId != 121;
}

std::wstring InnoCode(EnumLanguage language) {
  return language >= 0 && language < kLanguageCount ? kInnoCodes[language] : L"en";
}

std::wstring LocaleCode(EnumLanguage language) {
  switch (language) {
    case Japanese: return L"ja_JP";
    case Chinese: return L"zh_CN";
    case Spanish: return L"es_ES";
    case German: return L"de_DE";
    case French: return L"fr_FR";
    case Russian: return L"ru_RU";
    case Portuguese: return L"pt_BR";
    case ChineseTrad: return L"zh_TW";
    default: return L"en_US";
  }
}

// The Inno Setup uninstall record of the product: under WOW6432Node when
// that key opens (a 64-bit system), else the plain one; empty when neither.
std::wstring UninstallRecordKey(const std::wstring& productName) {
  const std::wstring record = L"\\{" + productName + L"}_is1";
  platform::ISystem& system = platform::System();
  if (system.RegKeyOpens(L"SoftWare\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"))
    return L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall" + record;
  if (system.RegKeyOpens(L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall"))
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall" + record;
  return std::wstring();
}

}  // namespace

std::wstring InstallerLanguageCode(EnumLanguage language, int32_t downloaderId) {
  return language == Japanese && SaysJp(downloaderId) ? L"jp" : InnoCode(language);
}

void StoreInstallerLanguage(EnumLanguage language, int32_t downloaderId, const std::wstring& productName) {
  platform::ISystem& system = platform::System();
  if (downloaderId == 104) {
    system.RegWriteUserString(L"Software\\Lumetta\\Clipwright", L"kCurrentLanguage",
                              language == Chinese ? L"Chinese" : L"English");
  } else if (downloaderId >= 113 && downloaderId <= 115) {
    system.RegWriteUserString(L"Software\\" + SCRAMBLED_WTEXT("Orvane") + L"\\Geomira", L"Lang",
                              LocaleCode(language));
  } else if (IsSafeKeyName(productName)) {
    const std::wstring key = UninstallRecordKey(productName);
    if (!key.empty()) system.RegWriteString(key, L"Inno Setup: Language", InnoCode(language));
  }
}
