#include "window/Language.h"

#include "toolkit/LayoutParser.h"

namespace {

struct LanguageRow {
  const char* englishName;
  const wchar_t* file;
  const char* code;
  const char* licenseControl;
  const char* captionFont;
};

const LanguageRow kRows[kLanguageCount] = {
    {"English", L"language_english.xml", "en", "license_english", "Microsoft YaHei"},
    {"Japanese", L"language_japanese.xml", "ja", "license_japanese", "Meiryo UI"},
    {"Chinese", L"language_chinese.xml", "zh-cn", "license_chinese", "Microsoft YaHei"},
    {"Spanish", L"language_spanish.xml", "es", "license_spanish", "Times New Roman"},
    {"German", L"language_german.xml", "de", "license_german", "Times New Roman"},
    {"French", L"language_french.xml", "fr", "license_french", "Times New Roman"},
    {"Russian", L"language_russian.xml", "ru", "license_russian", "Times New Roman"},
    {"Portuguese", L"language_portuguese.xml", "pt", "license_portuguese", "Times New Roman"},
    {"Arabic", L"language_arabic.xml", "ar", "license_arabic", "Times New Roman"},
    {"Italiano", L"language_italiano.xml", "it", "license_italiano", "Times New Roman"},
    {"ChineseTrad", L"language_chinesetrad.xml", "zh-tw", "license_chinesetrad", "Microsoft YaHei"},
    {"Korean", L"language_korean.xml", "ko", "license_korean", "batang"},
    {"Nederlands", L"language_nederland.xml", "nl", "license_nederlands", "Microsoft YaHei"},
    {"Indonesian", L"language_indonesian.xml", "id", "license_indonesian", "Microsoft YaHei"},
    {"Turkish", L"language_turkish.xml", "tr", "license_turkish", "Microsoft YaHei"},
    {"Hindi", L"language_hindi.xml", "hi", "license_hindi", "Microsoft YaHei"},
    {"Thai", L"language_thai.xml", "th", "license_thai", "Microsoft YaHei"},
    {"Malay", L"language_malay.xml", "my", "license_malay", "Microsoft YaHei"},
    {"Swedish", L"language_swedish.xml", "se", "license_swedish", "Microsoft YaHei"},
    {"Czech", L"language_czech.xml", "cz", "license_czech", "Microsoft YaHei"},
    {"Vietnamese", L"language_vietnamese.xml", "vi", "license_vietnamese", "Microsoft YaHei"},
};

bool Known(EnumLanguage language) { return language >= 0 && language < kLanguageCount; }

// English for every value without a row of its own.
const LanguageRow& RowOf(EnumLanguage language) { return kRows[Known(language) ? language : English]; }

}  // namespace

std::string GetLanguageEnglishName(EnumLanguage language) { return RowOf(language).englishName; }

std::string GetLanguageCode(EnumLanguage language) { return RowOf(language).code; }

std::wstring GetLanguageFileName(EnumLanguage language) { return RowOf(language).file; }

std::string GetLicenseControlName(EnumLanguage language) { return RowOf(language).licenseControl; }

std::string GetLicenseFontName(EnumLanguage language) { return RowOf(language).captionFont; }

bool IsRightToLeft(EnumLanguage language) { return language == Arabic; }

void SetWindowLanguage(toolkit::WindowLayout* layout, EnumLanguage language) {
  layout->language = GetLanguageCode(language);
  layout->rightToLeft = IsRightToLeft(language);
}

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
