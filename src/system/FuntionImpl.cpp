// FuntionImpl: system information, text conversions, registry strings,
// folders and files. Everything goes through the platform layer;
// nothing here calls the operating system itself.
#include "system/FuntionImpl.h"

#include <cstdio>
#include <map>
#include <utility>

#include <easylogging++.h>

#include "base/TrimmedText.h"
#include "net/WebUrl.h"
#include "platform/Platform.h"
#include "platform/SharedFile.h"

namespace FuntionImpl {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The leading decimal digits of a text (wcstol-like without sign); 0 when none.
long long LeadingNumber(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > 0x7FFFFFFF) return 0x7FFFFFFF;
  }
  return value;
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + platform::kPathSep + name;
}

// ---- Windows name and version ------------------------------------------------

// True when the registry build ("CurrentBuild", else "CurrentBuildNumber" of
// ...\Windows NT\CurrentVersion, WOW6432Node first) read as a number exceeds
// 21999. The backend reports that build in OsVersionInfo::currentBuild; when
// it is empty the store is asked directly through the platform layer.
bool IsWindows11() {
  platform::ISystem& system = platform::System();
  std::wstring build = system.OsVersion().currentBuild;
  if (build.empty()) {
    static const wchar_t* const kKeys[] = {
        L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion",
        L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"};
    for (const wchar_t* key : kKeys) {
      if (system.RegReadString(key, L"CurrentBuild", &build) ||
          system.RegReadString(key, L"CurrentBuildNumber", &build))
        break;
      build.clear();
    }
  }
  if (build.empty()) return false;
  return LeadingNumber(build) > 21999;
}

// Where the backend knows nothing Windows-specific (Linux: no NT
// numbers and no GetVersionExW answer) the name is the distribution's name
// (OsVersionInfo::linuxName, from os-release PRETTY_NAME) and the number 0.
std::string GetOSVersionName(float* number) {
  float ignored = 0;
  if (!number) number = &ignored;
  if (IsWindows11()) {
    *number = 11;
    return "Windows 11";
  }
  const platform::OsVersionInfo os = platform::System().OsVersion();
  if (os.ntNumbersKnown) {
    if (os.ntMajor == 6 && os.ntMinor == 3) {
      *number = 8.1f;
      return "Windows 8.1";
    }
    if (os.ntMajor == 10 && os.ntMinor == 0) {
      *number = 10;
      return "Windows 10";
    }
  }
  if (!os.versionExKnown) {
    if (!os.ntNumbersKnown && !os.linuxName.empty()) {
      *number = 0;
      return os.linuxName;
    }
    return std::string();
  }
  switch (os.major) {
    case 4:
      if (os.minor == 0) {
        if (os.platformId == 2) {
          *number = 0;
          return "Windows NT 4.0";
        }
        if (os.platformId == 1) {
          *number = 0;
          return "Windows 95";
        }
        return std::string();
      }
      if (os.minor == 10) {
        *number = 1;
        return "Windows 98";
      }
      if (os.minor == 90) {
        *number = 2;
        return "Microsoft Windows Me";
      }
      return std::string();
    case 5:
      if (os.minor == 0) {
        *number = 3;
        return "Windows 2000";
      }
      if (os.minor == 1) {
        *number = 4;
        return "Windows XP";
      }
      if (os.minor == 2) {
        *number = 5;
        if (os.workstation && os.processorArchitecture == 9) return "Windows XP Professional x64 Edition";
        if (os.serverR2) return "Windows Server 2003 R2";
        return "Windows Server 2003";
      }
      return std::string();
    case 6:
      if (os.minor == 0) {
        *number = 6;
        return os.workstation ? "Windows Vista" : "Windows Server 2008";
      }
      if (os.minor == 1) {
        *number = 7;
        return os.workstation ? "Windows 7" : "Windows Server 2008 R2";
      }
      if (os.minor == 2) {
        *number = 8;
        return os.workstation ? "Windows 8" : "Windows Server 2012";
      }
      return std::string();
    default:
      return "Error";
  }
}

// ---- language ------------------------------------------------------------------

const std::vector<LanguageEntry>& LanguageTable() {
  static const std::vector<LanguageEntry> table = {
      {0x0000, "Neutral_Neutral"},
      {0x0400, "Default_Default"},
      {0x0401, "Arabic_Saudi Arabia"},
      {0x0402, "Bulgarian_Bulgaria"},
      {0x0403, "Catalan_Spain"},
      {0x0404, "Chinese_Taiwan"},
      {0x0405, "Czech_Czech Republic"},
      {0x0406, "Danish_Denmark"},
      {0x0407, "German_Germany"},
      {0x0408, "Greek_Greece"},
      {0x0409, "English_United States"},
      {0x040A, "Spanish_Spain (Traditional sort)"},
      {0x040B, "Finnish_Finland"},
      {0x040C, "French_France"},
      {0x040D, "Hebrew_Israel"},
      {0x040E, "Hungarian_Hungary"},
      {0x040F, "Icelandic_Iceland"},
      {0x0410, "Italian_Italy"},
      {0x0411, "Japanese_Japan"},
      {0x0412, "Korean_Korea"},
      {0x0413, "Dutch_Netherlands"},
      {0x0414, "Norwegian_Norway (Bokm?l)"},
      {0x0415, "Polish_Poland"},
      {0x0416, "Portuguese_Brazil"},
      {0x0418, "Romanian_Romania"},
      {0x0419, "Russian_Russia"},
      {0x041A, "Croatian_Croatia"},
      {0x041B, "Slovak_Slovakia"},
      {0x041C, "Albanian_Albania"},
      {0x041D, "Swedish_Sweden"},
      {0x041E, "Thai_Thailand"},
      {0x041F, "Turkish_Turkey"},
      {0x0420, "Urdu_Pakistan"},
      {0x0421, "Indonesian_Indonesia (Bahasa)"},
      {0x0422, "Ukrainian_Ukraine"},
      {0x0423, "Belarusian_Belarus"},
      {0x0424, "Slovenian_Slovenia"},
      {0x0425, "Estonian_Estonia"},
      {0x0426, "Latvian_Latvia"},
      {0x0427, "Lithuanian_Lithuania"},
      {0x0429, "Farsi_Iran"},
      {0x042A, "Vietnamese_Viet Nam"},
      {0x042B, "Armenian_Armenia"},
      {0x042C, "Azeri_Azerbaijan (Latin)"},
      {0x042D, "Basque_Spain"},
      {0x042F, "Macedonian (FYROM)_Macedonian (FYROM)"},
      {0x0436, "Afrikaans_South Africa"},
      {0x0437, "Georgian_Georgia"},
      {0x0438, "Faeroese_Faeroe Islands"},
      {0x0439, "Hindi_India"},
      {0x043E, "Malay_Malaysia"},
      {0x043F, "Kazakh_Kazakstan"},
      {0x0440, "Kyrgyz_Kyrgyzstan"},
      {0x0441, "Swahili_Kenya"},
      {0x0443, "Uzbek_Uzbekistan (Latin)"},
      {0x0444, "Tatar_Tatarstan"},
      {0x0445, "Bengali_India"},
      {0x0446, "Punjabi_India (Gurmukhi script)"},
      {0x0447, "Gujarati_India"},
      {0x0448, "Oriya_India"},
      {0x0449, "Tamil_India"},
      {0x044A, "Telugu_India (Telugu script)"},
      {0x044B, "Kannada_India (Kannada script)"},
      {0x044C, "Malayalam_India"},
      {0x044D, "Assamese_India"},
      {0x044E, "Marathi_India"},
      {0x044F, "Sanskrit_India"},
      {0x0450, "Mongolian (Cyrillic)_Mongolia"},
      {0x0456, "Galician_Spain"},
      {0x0457, "Konkani_India"},
      {0x045A, "Syriac_Syria"},
      {0x0465, "Divehi_Maldives"},
      {0x0801, "Arabic_Iraq"},
      {0x0804, "Chinese_PRC"},
      {0x0807, "German_Switzerland"},
      {0x0809, "English_United Kingdom"},
      {0x080A, "Spanish_Mexico"},
      {0x080C, "French_Belgium"},
      {0x0810, "Italian_Switzerland"},
      {0x0813, "Dutch_Belgium"},
      {0x0814, "Norwegian_Norway (Nynorsk)"},
      {0x0816, "Portuguese_Portugal"},
      {0x081A, "Serbian_Serbia (Latin)"},
      {0x081D, "Swedish_Finland"},
      {0x0820, "Urdu_India"},
      {0x0827, "Classic Lithuanian_Lithuania"},
      {0x082C, "Azeri_Azerbaijan (Cyrillic)"},
      {0x083E, "Malay_Brunei Darussalam"},
      {0x0843, "Uzbek_Uzbekistan (Cyrillic)"},
      {0x0C01, "Arabic_Egypt"},
      {0x0C04, "Chinese_Hong Kong SAR"},
      {0x0C07, "German_Austria"},
      {0x0C09, "English_Australia"},
      {0x0C0A, "Spanish_Spain (International sort)"},
      {0x0C0C, "French_Canada"},
      {0x0C1A, "Serbian_Serbia (Cyrillic)"},
      {0x1001, "Arabic_Libya"},
      {0x1004, "Chinese_Singapore"},
      {0x1007, "German_Luxembourg"},
      {0x1009, "English_Canada"},
      {0x100A, "Spanish_Guatemala"},
      {0x100C, "French_Switzerland"},
      {0x1401, "Arabic_Algeria"},
      {0x1404, "Chinese_Macao SAR"},
      {0x1407, "German_Liechtenstein"},
      {0x1409, "English_New Zealand"},
      {0x140A, "Spanish_Costa Rica"},
      {0x140C, "French_Luxembourg"},
      {0x1801, "Arabic_Morocco"},
      {0x1809, "English_Ireland"},
      {0x180A, "Spanish_Panama"},
      {0x180C, "French_Monaco"},
      {0x1C01, "Arabic_Tunisia"},
      {0x1C09, "English_South Africa"},
      {0x1C0A, "Spanish_Dominican Republic"},
      {0x2001, "Arabic_Oman"},
      {0x2009, "English_Jamaica"},
      {0x200A, "Spanish_Venezuela"},
      {0x2401, "Arabic_Yemen"},
      {0x2409, "English_Caribbean"},
      {0x240A, "Spanish_Colombia"},
      {0x2801, "Arabic_Syria"},
      {0x2809, "English_Belize"},
      {0x280A, "Spanish_Peru"},
      {0x2C01, "Arabic_Jordan"},
      {0x2C09, "English_Trinidad"},
      {0x2C0A, "Spanish_Argentina"},
      {0x3001, "Arabic_Lebanon"},
      {0x3009, "English_Zimbabwe"},
      {0x300A, "Spanish_Ecuador"},
      {0x3401, "Arabic_Kuwait"},
      {0x3409, "English_Philippines"},
      {0x340A, "Spanish_Chile"},
      {0x3801, "Arabic_U.A.E."},
      {0x380A, "Spanish_Uruguay"},
      {0x3C01, "Arabic_Bahrain"},
      {0x3C0A, "Spanish_Paraguay"},
      {0x4001, "Arabic_Qatar"},
      {0x400A, "Spanish_Bolivia"},
      {0x440A, "Spanish_El Salvador"},
      {0x480A, "Spanish_Honduras"},
      {0x4C0A, "Spanish_Nicaragua"},
      {0x500A, "Spanish_Puerto Rico"},
  };
  return table;
}

std::string LanguageNameOf(uint16_t languageId) {
  for (const LanguageEntry& entry : LanguageTable())
    if (entry.id == languageId) return entry.name;
  char text[16];
  std::snprintf(text, sizeof text, "0x%.4x", static_cast<unsigned>(languageId));
  return std::string(text) + "_" + text;
}

std::string GetUILanguageName() {
  return LanguageNameOf(platform::System().UserDefaultUILanguage());
}

EnumLanguage LanguageOfLangId(uint16_t languageId) {
  static const std::map<uint16_t, EnumLanguage> languages = [] {
    const std::vector<std::pair<EnumLanguage, std::vector<uint16_t>>> ids = {
        {English, {1033, 2057, 3081, 4105, 5129, 6153, 7177, 8201, 9225, 10249, 11273}},
        {Japanese, {1041}},
        {Chinese, {2052}},
        {Spanish, {1034, 2058, 3082, 4106, 5130, 6154, 7178, 8202, 9226, 10250, 11274, 12298, 13322,
                   14346, 15370, 16394, 17418, 18442, 19466, 20490}},
        {German, {1031, 2055, 3079, 4103, 5127}},
        {French, {1036, 2060, 3084, 4108, 5132}},
        {Russian, {1049}},
        {Portuguese, {1046, 2070}},
        {Arabic, {1025}},
        {Italiano, {1040, 2064}},
        {ChineseTrad, {1028, 3076}},
        {Korean, {1042, 2066}},
        {Nederlands, {1043, 2067}},
        {Indonesian, {1057}},
        {Turkish, {1055}},
        {Hindi, {1081}},
        {Thai, {1054}},
        {Malay, {1086, 2110}},
        {Swedish, {1053, 2077}},
        {Czech, {1029}},
        {Vietnamese, {1066}},
    };
    std::map<uint16_t, EnumLanguage> byId;
    for (const auto& [language, list] : ids)
      for (uint16_t id : list) byId[id] = language;
    return byId;
  }();
  const auto found = languages.find(languageId);
  return found == languages.end() ? English : found->second;
}

EnumLanguage GetLanguageByLocalSystem() {
  const uint16_t languageId = platform::System().UserDefaultUILanguage();
  LOG(INFO) << " GetLanguageByLocalSystem: " << languageId;
  return LanguageOfLangId(languageId);
}

// ---- small queries -------------------------------------------------------------

bool IsWow64() { return platform::System().IsWow64(); }

std::wstring ReadRegString(const std::wstring& key, const std::wstring& name) {
  std::wstring value;
  if (!platform::System().RegReadString(key, name, &value)) return std::wstring();
  return value;
}

bool WriteRegString(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  return platform::System().RegWriteString(key, name, text);
}

// The renames that wait for the next restart name their files in pairs of
// strings; any of them inside the folder counts.
bool IsPendingRename(const std::wstring& path) {
  std::vector<std::wstring> renames;
  if (!platform::System().RegReadMultiString(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                             L"PendingFileRenameOperations", &renames))
    return false;
  const std::wstring inside = path + platform::kPathSep;
  for (const std::wstring& rename : renames)
    if (rename.find(inside) != std::wstring::npos) return true;
  return false;
}

std::string WideToUtf8(const std::wstring& text) { return platform::WideToUtf8(text); }

std::wstring Utf8ToWide(const std::string& text) { return platform::Utf8ToWide(text); }

std::string AnsiToUtf8(const std::string& text) {
  return platform::WideToUtf8(platform::AnsiToWide(text));
}

std::wstring GetSystemRegion() {
  const std::wstring region = platform::System().SystemRegion();
  LOG(INFO) << " System Region info is : " << platform::WideToUtf8(region);
  return region;
}

std::wstring GetSystemVolumeGuid() {
  std::wstring guid = platform::System().SystemVolumeGuid();
  // Backends answer without braces; should one keep them, take the inside.
  const size_t open = guid.find(L'{');
  if (open != std::wstring::npos) {
    const size_t close = guid.find(L'}', open + 1);
    guid = close == std::wstring::npos ? std::wstring() : guid.substr(open + 1, close - open - 1);
  }
  return guid;
}

// The scale is the display width over the monitor rectangle's width; 0 (and
// 0 x 0) when the display cannot be queried; 1 when the monitor width is not
// known.
double GetScreenInfo(int* width, int* height) {
  platform::ScreenInfo info;
  const bool ok = platform::System().Screen(&info);
  if (!ok) info = platform::ScreenInfo();
  if (width) *width = info.width;
  if (height) *height = info.height;
  if (!ok) return 0.0;
  if (info.monitorWidth == 0) return 1.0;
  return static_cast<double>(info.width) / static_cast<double>(info.monitorWidth);
}

// ---- file versions -------------------------------------------------------------

std::string GetFileVersion(const std::wstring& path) {
  platform::FileVersion version;
  if (!platform::ReadFileVersion(path, &version)) return std::string();
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", version.major, version.minor, version.build,
                version.revision);
  return text;
}

void GetFileVersionStrings(const std::wstring& path, std::wstring* productName,
                           std::wstring* productVersion, std::wstring* legalCopyright,
                           std::wstring* fileDescription) {
  std::wstring texts[4];
  if (!platform::ReadFileVersionStrings(path, texts))
    for (std::wstring& t : texts) t.clear();
  if (productName) *productName = texts[0];
  if (productVersion) *productVersion = texts[1];
  if (legalCopyright) *legalCopyright = texts[2];
  if (fileDescription) *fileDescription = texts[3];
}

// ---- .NET Framework check ------------------------------------------------------

void ParseVersion(const std::wstring& text, int parts[4]) {
  for (int i = 0; i < 4; ++i) parts[i] = 0;
  size_t pos = 0;
  for (int i = 0; i < 4 && pos <= text.size(); ++i) {
    size_t dot = text.find(L'.', pos);
    if (dot == std::wstring::npos) dot = text.size();
    parts[i] = static_cast<int>(LeadingNumber(text.substr(pos, dot - pos)));
    pos = dot + 1;
  }
}

namespace {

// Lines of a UTF-8 text file as fgetws(buffer, 1024) returns them: at most
// 1023 characters each (a longer line continues in the next piece), without
// the line break.
bool ReadUtf8Lines(const std::wstring& path, std::vector<std::wstring>* lines) {
  std::string bytes;
  if (!platform::ReadFileBytes(path, &bytes)) return false;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  const std::wstring text = platform::Utf8ToWide(bytes);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty()) {
      lines->push_back(line);
      continue;
    }
    for (size_t start = 0; start < line.size(); start += 1023)
      lines->push_back(line.substr(start, 1023));
  }
  return true;
}

}  // namespace

bool WillShowNetFrameCheck(const std::wstring& folder) {
  // 1. The required version from NetFrameCheck.db.
  std::wstring required;
  const std::wstring file = JoinPath(folder, L"NetFrameCheck.db");
  std::vector<std::wstring> lines;
  if (platform::FileExists(file) && ReadUtf8Lines(file, &lines)) {
    bool inSettings = false;
    for (const std::wstring& line : lines) {
      if (line.size() < 3) continue;
      if (line.find(L"[Settings]") != std::wstring::npos) {
        inSettings = true;
        continue;
      }
      if (line.find(L"[Text]") != std::wstring::npos) break;
      if (!inSettings) continue;
      const size_t eq = line.find(L'=');
      if (eq == std::wstring::npos) continue;
      if (TrimBlanks(line.substr(0, eq)) == L"NetFrameworkVersion") {
        required = TrimBlanks(line.substr(eq + 1));
        break;
      }
    }
  }
  // 2. The installed version.
  const std::wstring installed =
      ReadRegString(L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client", L"Version");
  // 3. Log.
  LOG(INFO) << " LocalNetFrame: " << platform::WideToUtf8(installed)
            << ", NeedNetFrame: " << platform::WideToUtf8(required);
  if (required.empty()) return false;
  // 4. Compare part by part.
  int need[4], have[4];
  ParseVersion(required, need);
  ParseVersion(installed, have);
  for (int i = 0; i < 4; ++i) {
    if (have[i] < need[i]) return true;
    if (have[i] > need[i]) return false;
  }
  return false;
}

// ---- time ------------------------------------------------------------------------

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int* year, int* month, int* day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(y + (m <= 2));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

}  // namespace

// UTC + 8 hours (bias -480 minutes, no daylight saving).
std::string GetChinaStandardTime() {
  const platform::LocalTime utc = platform::System().UtcNow();
  long long seconds = DaysFromCivil(utc.year, static_cast<unsigned>(utc.month),
                                    static_cast<unsigned>(utc.day)) * 86400LL +
                      utc.hour * 3600LL + utc.minute * 60LL + utc.second + 8 * 3600LL;
  long long days = seconds / 86400;
  long long rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  int year, month, day;
  CivilFromDays(days, &year, &month, &day);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                static_cast<int>(rest / 3600), static_cast<int>(rest % 3600 / 60),
                static_cast<int>(rest % 60));
  return text;
}

// ---- URLs, folders, files -------------------------------------------------------

// libcurl's reading of the address, as the request itself will read it: the
// host in lower case with the port the address names. Empty when the text
// is no URL or its host has no "." (no address of a server on the network).
std::wstring GetHostOfUrl(const std::wstring& url) {
  WebUrl::Parsed parsed(platform::WideToUtf8(url));
  if (!parsed.ok()) return std::wstring();
  std::string host = parsed.Get(CURLUPART_HOST);
  if (host.find('.') == std::string::npos) return std::wstring();
  for (char& c : host)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const std::string port = parsed.Get(CURLUPART_PORT);
  return platform::Utf8ToWide(port.empty() ? host : host + ":" + port);
}

uint32_t CreateDirectoriesWith(const std::wstring& path,
                               const std::function<uint32_t(const std::wstring&)>& createOne) {
  for (size_t i = 0; i < path.size(); ++i) {
    if (!IsSeparator(path[i])) continue;
    if (createOne(path.substr(0, i + 1)) == platform::kErrorDiskFull) return platform::kErrorDiskFull;
  }
  return createOne(path);
}

uint32_t CreateDirectories(const std::wstring& path) {
  return CreateDirectoriesWith(path, [](const std::wstring& folder) {
    return platform::CreateOneDirectory(folder);
  });
}

// FindFirstFileW / FindNextFileW over folder + "*.*": the entry of
// FindFirstFileW itself is not examined, nor "." and "..". Windows returns
// "." first for every folder but a drive root, so what the search skips
// is "." there and the first real entry in a drive root ("X:\\"). The
// platform's ListDirectory leaves "." and ".." out; the enumeration is
// rebuilt as the system gives it ("." and ".." first unless the folder is a
// drive root) and its first entry skipped, which keeps that behaviour.
std::wstring FindFileInSubDirs(const std::wstring& folder, const std::wstring& name) {
  const std::vector<platform::DirEntry> entries = platform::ListDirectory(folder);
  const bool driveRoot = folder.size() == 3 && folder[1] == L':' && IsSeparator(folder[2]);
  // Index into `entries` of the first examined entry.
  const size_t first = driveRoot ? 1 : 0;
  for (size_t i = first; i < entries.size(); ++i) {
    const platform::DirEntry& entry = entries[i];
    if (!entry.isDirectory || entry.name == L"." || entry.name == L"..") continue;
    const std::wstring sub = JoinPath(folder, entry.name) + platform::kPathSep;
    const std::wstring candidate = sub + name;
    if (platform::FileExists(candidate)) return candidate;
    const std::wstring found = FindFileInSubDirs(sub, name);
    if (!found.empty()) return found;
  }
  return std::wstring();
}

}  // namespace FuntionImpl
