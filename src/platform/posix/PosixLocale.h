// posix backend: locale names to Windows language identifiers (LANGIDs).
//
// A locale value has the form language[_TERRITORY][.codeset][@modifier]
// ("es_ES.UTF-8", "es_AR", "zh_TW", "sr_RS@latin"); "-" is accepted in place
// of "_" and a BCP 47 script subtag ("sr-Latn-RS", "uz-Cyrl-UZ") counts as
// the modifier "@latin" / "@cyrillic". Matching ignores case and the codeset
// and tries, in order: language_TERRITORY@modifier, language_TERRITORY,
// language@modifier, language (the language's main LANGID). Unknown
// languages, "C", "POSIX" and an empty value give 0x0409 (English, US).
//
// Every row of the 143-entry language table is reached by at
// least one name of LocaleTable(). Names that glibc has no locale for are
// chosen as follows (documented choices):
//   "und", "neutral"        -> 0x0000 Neutral
//   "default"               -> 0x0400 Default
//   "es_ES@traditional"     -> 0x040A Spanish, traditional sort ("es_ES" is
//                              0x0C0A, the international sort)
//   "lt_LT@classic"         -> 0x0827 Classic Lithuanian
//   "en_029" (or "en_AG")   -> 0x2409 English, Caribbean
//   "az_AZ@cyrillic"        -> 0x082C ("az_AZ" is Latin, as in glibc)
//   "uz_UZ@cyrillic"        -> 0x0843 ("uz_UZ" is Latin, as in glibc)
//   "sr_RS@latin"           -> 0x081A ("sr_RS" is Cyrillic, as in glibc)
//   "syr_SY", "zh_MO"       -> 0x045A, 0x1404
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
namespace posix {

struct LocaleLangId {
  const char* locale;  // normalised: lower-case language, upper-case territory
  uint16_t langId;
};

// The whole mapping table (first entry of a LANGID is its preferred name).
const std::vector<LocaleLangId>& LocaleTable();

// LANGID of one locale value (see above).
uint16_t LangIdFromLocale(const std::string& locale);

// The upper-case two-letter territory of a locale value, or empty.
std::string RegionFromLocale(const std::string& locale);

// The locale values that decide the interface language, in the order
// LANGUAGE (first non-empty entry of its colon list), LC_ALL, LC_MESSAGES,
// LANG; empty values are left out.
std::vector<std::string> MessageLocaleCandidates();

}  // namespace posix
}  // namespace platform
