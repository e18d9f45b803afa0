// posix backend: locale names to Windows LANGIDs (see PosixLocale.h).
#include "platform/posix/PosixLocale.h"
#include "base/AsciiText.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace platform {
namespace posix {

const std::vector<LocaleLangId>& LocaleTable() {
  static const std::vector<LocaleLangId> table = {
      // Special names (no glibc locale).
      {"und", 0x0000}, {"neutral", 0x0000}, {"default", 0x0400},
      // Language-only names: the language's main LANGID.
      {"ar", 0x0401}, {"bg", 0x0402}, {"ca", 0x0403}, {"zh", 0x0804}, {"cs", 0x0405},
      {"da", 0x0406}, {"de", 0x0407}, {"el", 0x0408}, {"en", 0x0409}, {"es", 0x0C0A},
      {"fi", 0x040B}, {"fr", 0x040C}, {"he", 0x040D}, {"iw", 0x040D}, {"hu", 0x040E},
      {"is", 0x040F}, {"it", 0x0410}, {"ja", 0x0411}, {"ko", 0x0412}, {"nl", 0x0413},
      {"nb", 0x0414}, {"no", 0x0414}, {"nn", 0x0814}, {"pl", 0x0415}, {"pt", 0x0416},
      {"ro", 0x0418}, {"ru", 0x0419}, {"hr", 0x041A}, {"sk", 0x041B}, {"sq", 0x041C},
      {"sv", 0x041D}, {"th", 0x041E}, {"tr", 0x041F}, {"ur", 0x0420}, {"id", 0x0421},
      {"in", 0x0421}, {"uk", 0x0422}, {"be", 0x0423}, {"sl", 0x0424}, {"et", 0x0425},
      {"lv", 0x0426}, {"lt", 0x0427}, {"fa", 0x0429}, {"vi", 0x042A}, {"hy", 0x042B},
      {"az", 0x042C}, {"eu", 0x042D}, {"mk", 0x042F}, {"af", 0x0436}, {"ka", 0x0437},
      {"fo", 0x0438}, {"hi", 0x0439}, {"ms", 0x043E}, {"kk", 0x043F}, {"ky", 0x0440},
      {"sw", 0x0441}, {"uz", 0x0443}, {"tt", 0x0444}, {"bn", 0x0445}, {"pa", 0x0446},
      {"gu", 0x0447}, {"or", 0x0448}, {"ta", 0x0449}, {"te", 0x044A}, {"kn", 0x044B},
      {"ml", 0x044C}, {"as", 0x044D}, {"mr", 0x044E}, {"sa", 0x044F}, {"mn", 0x0450},
      {"gl", 0x0456}, {"kok", 0x0457}, {"syr", 0x045A}, {"dv", 0x0465}, {"sr", 0x0C1A},
      {"sr@latin", 0x081A}, {"az@cyrillic", 0x082C}, {"uz@cyrillic", 0x0843},
      // Language and territory (the 143 rows).
      {"ar_SA", 0x0401}, {"bg_BG", 0x0402}, {"ca_ES", 0x0403}, {"zh_TW", 0x0404},
      {"cs_CZ", 0x0405}, {"da_DK", 0x0406}, {"de_DE", 0x0407}, {"el_GR", 0x0408},
      {"en_US", 0x0409}, {"es_ES@traditional", 0x040A}, {"fi_FI", 0x040B},
      {"fr_FR", 0x040C}, {"he_IL", 0x040D}, {"iw_IL", 0x040D}, {"hu_HU", 0x040E},
      {"is_IS", 0x040F}, {"it_IT", 0x0410}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412},
      {"nl_NL", 0x0413}, {"nb_NO", 0x0414}, {"no_NO", 0x0414}, {"pl_PL", 0x0415},
      {"pt_BR", 0x0416}, {"ro_RO", 0x0418}, {"ru_RU", 0x0419}, {"hr_HR", 0x041A},
      {"sk_SK", 0x041B}, {"sq_AL", 0x041C}, {"sv_SE", 0x041D}, {"th_TH", 0x041E},
      {"tr_TR", 0x041F}, {"ur_PK", 0x0420}, {"id_ID", 0x0421}, {"uk_UA", 0x0422},
      {"be_BY", 0x0423}, {"sl_SI", 0x0424}, {"et_EE", 0x0425}, {"lv_LV", 0x0426},
      {"lt_LT", 0x0427}, {"fa_IR", 0x0429}, {"vi_VN", 0x042A}, {"hy_AM", 0x042B},
      {"az_AZ", 0x042C}, {"eu_ES", 0x042D}, {"mk_MK", 0x042F}, {"af_ZA", 0x0436},
      {"ka_GE", 0x0437}, {"fo_FO", 0x0438}, {"hi_IN", 0x0439}, {"ms_MY", 0x043E},
      {"kk_KZ", 0x043F}, {"ky_KG", 0x0440}, {"sw_KE", 0x0441}, {"uz_UZ", 0x0443},
      {"tt_RU", 0x0444}, {"bn_IN", 0x0445}, {"pa_IN", 0x0446}, {"gu_IN", 0x0447},
      {"or_IN", 0x0448}, {"ta_IN", 0x0449}, {"te_IN", 0x044A}, {"kn_IN", 0x044B},
      {"ml_IN", 0x044C}, {"as_IN", 0x044D}, {"mr_IN", 0x044E}, {"sa_IN", 0x044F},
      {"mn_MN", 0x0450}, {"gl_ES", 0x0456}, {"kok_IN", 0x0457}, {"syr_SY", 0x045A},
      {"dv_MV", 0x0465}, {"ar_IQ", 0x0801}, {"zh_CN", 0x0804}, {"de_CH", 0x0807},
      {"en_GB", 0x0809}, {"es_MX", 0x080A}, {"fr_BE", 0x080C}, {"it_CH", 0x0810},
      {"nl_BE", 0x0813}, {"nn_NO", 0x0814}, {"pt_PT", 0x0816}, {"sr_RS@latin", 0x081A},
      {"sr_CS@latin", 0x081A}, {"sr_ME", 0x081A}, {"sv_FI", 0x081D}, {"ur_IN", 0x0820},
      {"lt_LT@classic", 0x0827}, {"az_AZ@cyrillic", 0x082C}, {"ms_BN", 0x083E},
      {"uz_UZ@cyrillic", 0x0843}, {"ar_EG", 0x0C01}, {"zh_HK", 0x0C04}, {"de_AT", 0x0C07},
      {"en_AU", 0x0C09}, {"es_ES", 0x0C0A}, {"fr_CA", 0x0C0C}, {"sr_RS", 0x0C1A},
      {"sr_CS", 0x0C1A}, {"ar_LY", 0x1001}, {"zh_SG", 0x1004}, {"de_LU", 0x1007},
      {"en_CA", 0x1009}, {"es_GT", 0x100A}, {"fr_CH", 0x100C}, {"ar_DZ", 0x1401},
      {"zh_MO", 0x1404}, {"de_LI", 0x1407}, {"en_NZ", 0x1409}, {"es_CR", 0x140A},
      {"fr_LU", 0x140C}, {"ar_MA", 0x1801}, {"en_IE", 0x1809}, {"es_PA", 0x180A},
      {"fr_MC", 0x180C}, {"ar_TN", 0x1C01}, {"en_ZA", 0x1C09}, {"es_DO", 0x1C0A},
      {"ar_OM", 0x2001}, {"en_JM", 0x2009}, {"es_VE", 0x200A}, {"ar_YE", 0x2401},
      {"en_029", 0x2409}, {"en_AG", 0x2409}, {"es_CO", 0x240A}, {"ar_SY", 0x2801}, {"en_BZ", 0x2809},
      {"es_PE", 0x280A}, {"ar_JO", 0x2C01}, {"en_TT", 0x2C09}, {"es_AR", 0x2C0A},
      {"ar_LB", 0x3001}, {"en_ZW", 0x3009}, {"es_EC", 0x300A}, {"ar_KW", 0x3401},
      {"en_PH", 0x3409}, {"es_CL", 0x340A}, {"ar_AE", 0x3801}, {"es_UY", 0x380A},
      {"ar_BH", 0x3C01}, {"es_PY", 0x3C0A}, {"ar_QA", 0x4001}, {"es_BO", 0x400A},
      {"es_SV", 0x440A}, {"es_HN", 0x480A}, {"es_NI", 0x4C0A}, {"es_PR", 0x500A},
  };
  return table;
}

namespace {

struct ParsedLocale {
  std::string language;   // lower case
  std::string territory;  // upper case
  std::string modifier;   // lower case, without "@"
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

ParsedLocale ParseLocale(const std::string& value) {
  ParsedLocale parsed;
  std::string text = value;
  size_t at = text.find('@');
  if (at != std::string::npos) {
    parsed.modifier = AsciiLower(text.substr(at + 1));
    text.erase(at);
  }
  size_t dot = text.find('.');
  if (dot != std::string::npos) text.erase(dot);
  // Subtags separated by "_" or "-".
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '_' || text[i] == '-') {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (parts.empty()) return parsed;
  parsed.language = AsciiLower(parts[0]);
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.size() == 4 && parsed.territory.empty()) {  // BCP 47 script
      std::string script = AsciiLower(part);
      if (parsed.modifier.empty()) {
        if (script == "latn") parsed.modifier = "latin";
        else if (script == "cyrl") parsed.modifier = "cyrillic";
      }
      continue;
    }
    if (parsed.territory.empty() && (part.size() == 2 || part.size() == 3)) {
      parsed.territory = Upper(part);
      continue;
    }
  }
  return parsed;
}

bool Find(const std::string& key, uint16_t* langId) {
  const std::string wanted = AsciiLower(key);
  for (const LocaleLangId& entry : LocaleTable()) {
    if (AsciiLower(entry.locale) == wanted) {
      *langId = entry.langId;
      return true;
    }
  }
  return false;
}

}  // namespace

uint16_t LangIdFromLocale(const std::string& locale) {
  const ParsedLocale p = ParseLocale(locale);
  if (p.language.empty() || p.language == "c" || p.language == "posix") return 0x0409;
  uint16_t id = 0;
  const std::string mod = p.modifier.empty() ? std::string() : "@" + p.modifier;
  if (!p.territory.empty()) {
    if (!mod.empty() && Find(p.language + "_" + p.territory + mod, &id)) return id;
    if (Find(p.language + "_" + p.territory, &id)) return id;
  }
  if (!mod.empty() && Find(p.language + mod, &id)) return id;
  if (Find(p.language, &id)) return id;
  return 0x0409;
}

std::string RegionFromLocale(const std::string& locale) {
  const ParsedLocale p = ParseLocale(locale);
  if (p.territory.size() != 2) return std::string();
  for (char c : p.territory)
    if (!std::isalpha(static_cast<unsigned char>(c))) return std::string();
  return p.territory;
}

std::vector<std::string> MessageLocaleCandidates() {
  std::vector<std::string> values;
  if (const char* language = std::getenv("LANGUAGE")) {
    std::string list = language;
    size_t start = 0;
    while (start <= list.size()) {
      size_t colon = list.find(':', start);
      if (colon == std::string::npos) colon = list.size();
      std::string entry = list.substr(start, colon - start);
      if (!entry.empty()) {
        values.push_back(entry);
        break;
      }
      start = colon + 1;
    }
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) values.push_back(value);
  }
  return values;
}

}  // namespace posix
}  // namespace platform
