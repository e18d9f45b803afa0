// What each interface language brings: its names, its language file, the
// licence control and height of the main window, the carousel's caption
// font, and the texts of its language file.
//
// A language file ("language\\language_<name>.xml" in the resource archive)
// holds two containers, "install_page" and "message_page", of labels whose
// name is the key and whose text is the text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "system/EnumLanguage.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/WindowLayout.h"

// "English", "Japanese", ...; any value outside 1 to 20 gives "English".
std::string GetLanguageEnglishName(EnumLanguage language);
// The short code of the link table, the data service and analytics ("en",
// "ja", "zh-cn", ...); any value outside 1 to 20 gives "en".
std::string GetLanguageCode(EnumLanguage language);
// "language_english.xml", ...; any value outside 0 to 20 gives English's.
std::wstring GetLanguageFileName(EnumLanguage language);
// The main window's rich-edit control holding the licence in the language.
std::string GetLicenseControlName(EnumLanguage language);
// The face the carousel draws its captions in.
std::string GetLicenseFontName(EnumLanguage language);
// Whether the language reads right to left (Arabic).
bool IsRightToLeft(EnumLanguage language);
// Gives a window the language of its texts: the faces of its script and
// its direction. The window must be arranged again.
void SetWindowLanguage(toolkit::WindowLayout* layout, EnumLanguage language);

// The labels of one page of a language file, in file order (key, text).
using LanguagePage = std::vector<std::pair<std::string, std::wstring>>;
// False when the file does not parse or has no such page. Parses on every call.
bool LoadLanguagePage(EnumLanguage language, const std::string& page, LanguagePage* labels,
                      const toolkit::ResourceArchive& archive = toolkit::ResourceArchive::Shared());
// The text of a key of a page; "" when the file, the page or the key is missing.
std::wstring GetLanguageText(const std::string& page, const std::string& key, EnumLanguage language,
                             const toolkit::ResourceArchive& archive = toolkit::ResourceArchive::Shared());
// The text of `key` among the labels; "" when absent.
std::wstring TextOf(const LanguagePage& labels, const std::string& key);
