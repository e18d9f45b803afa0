#include "window/Language.h"

#include <set>

#include "toolkit/LayoutParser.h"

namespace {

struct LanguageRow {
  const char* englishName;
  const wchar_t* file;
  const char* code;
  const char* licenseControl;
  int licenseHeight;  // 0 for Chinese, whose height depends on the site id
  const char* captionFont;
};

const LanguageRow kRows[kLanguageCount] = {
    {"English", L"language_english.xml", "en", "license_english", 1370, "Microsoft YaHei"},
    {"Japanese", L"language_japanese.xml", "ja", "license_japanese", 1320, "Meiryo UI"},
    {"Chinese", L"language_chinese.xml", "zh-cn", "license_chinese", 0, "Microsoft YaHei"},
    {"Spanish", L"language_spanish.xml", "es", "license_spanish", 1440, "Times New Roman"},
    {"German", L"language_german.xml", "de", "license_german", 1485, "Times New Roman"},
    {"French", L"language_french.xml", "fr", "license_french", 1410, "Times New Roman"},
    {"Russian", L"language_russian.xml", "ru", "license_russian", 1445, "Times New Roman"},
    {"Portuguese", L"language_portuguese.xml", "pt", "license_portuguese", 1295, "Times New Roman"},
    {"Arabic", L"language_arabic.xml", "ar", "license_arabic", 1195, "Times New Roman"},
    {"Italiano", L"language_italiano.xml", "it", "license_italiano", 1345, "Times New Roman"},
    {"ChineseTrad", L"language_chinesetrad.xml", "zh-tw", "license_chinesetrad", 1095, "Microsoft YaHei"},
    {"Korean", L"language_korean.xml", "ko", "license_korean", 1175, "batang"},
    {"Nederlands", L"language_nederland.xml", "nl", "license_nederlands", 1485, "Microsoft YaHei"},
    {"Indonesian", L"language_indonesian.xml", "id", "license_indonesian", 1370, "Microsoft YaHei"},
    {"Turkish", L"language_turkish.xml", "tr", "license_turkish", 1370, "Microsoft YaHei"},
    {"Hindi", L"language_hindi.xml", "hi", "license_hindi", 1370, "Microsoft YaHei"},
    {"Thai", L"language_thai.xml", "th", "license_thai", 1175, "Microsoft YaHei"},
    {"Malay", L"language_malay.xml", "my", "license_malay", 1410, "Microsoft YaHei"},
    {"Swedish", L"language_swedish.xml", "se", "license_swedish", 1410, "Microsoft YaHei"},
    {"Czech", L"language_czech.xml", "cz", "license_czech", 1410, "Microsoft YaHei"},
    {"Vietnamese", L"language_vietnamese.xml", "vi", "license_vietnamese", 1410, "Microsoft YaHei"},
};

bool Known(EnumLanguage language) { return language >= 0 && language < kLanguageCount; }

// English for every value without a row of its own.
const LanguageRow& RowOf(EnumLanguage language) { return kRows[Known(language) ? language : English]; }

}  // namespace

std::string GetLanguageEnglishName(EnumLanguage language) { return RowOf(language).englishName; }

std::string GetLanguageCode(EnumLanguage language) { return RowOf(language).code; }

std::wstring GetLanguageFileName(EnumLanguage language) { return RowOf(language).file; }

std::string GetLicenseControlName(EnumLanguage language) { return RowOf(language).licenseControl; }

int GetLicenseHeight(EnumLanguage language, int32_t siteId) {
  if (!Known(language)) return 1765;
  if (language != Chinese) return kRows[language].licenseHeight;
  static const std::set<int32_t> kTallSites = {54, 93, 118, 127, 133, 290, 550};
  if (kTallSites.count(siteId)) return 1900;
  return siteId == 521 ? 1300 : 1095;
}

std::string GetLicenseFontName(EnumLanguage language) { return RowOf(language).captionFont; }

bool LoadLanguagePage(EnumLanguage language, const std::string& page, LanguagePage* labels,
                      const toolkit::ResourceArchive& archive) {
  toolkit::Control root(toolkit::ControlKind::kVerticalLayout);
  toolkit::LayoutParser parser(archive, L"language\\");
  if (!parser.ParseControls(GetLanguageFileName(language), &root)) return false;
  const toolkit::Control* container = root.Find(page);
  if (!container) return false;
  labels->clear();
  for (const auto& label : container->children()) labels->emplace_back(label->name(), label->look.text);
  return true;
}

std::wstring GetLanguageText(const std::string& page, const std::string& key, EnumLanguage language,
                             const toolkit::ResourceArchive& archive) {
  LanguagePage labels;
  return LoadLanguagePage(language, page, &labels, archive) ? TextOf(labels, key) : std::wstring();
}

std::wstring TextOf(const LanguagePage& labels, const std::string& key) {
  for (const auto& [name, text] : labels)
    if (name == key) return text;
  return std::wstring();
}
