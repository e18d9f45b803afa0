// The real Linux backend of the platform layer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "system/FuntionImpl.h"
#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"
#include "platform/posix/PosixLocale.h"
#include "unit/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::RealSystem;

std::wstring W(const std::string& s) { return platform::Utf8ToWide(s); }
std::wstring W(const fs::path& p) { return platform::Utf8ToWide(p.string()); }

// Sets environment variables for a scope and restores them afterwards.
class ScopedEnv {
 public:
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) setenv(name.c_str(), value->c_str(), 1);
    else unsetenv(name.c_str());
  }
  // Only `lang` as LANG; LANGUAGE, LC_ALL and LC_MESSAGES unset.
  void OnlyLang(const std::string& lang) {
    Set("LANGUAGE", std::nullopt);
    Set("LC_ALL", std::nullopt);
    Set("LC_MESSAGES", std::nullopt);
    Set("LANG", lang);
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---- language and region -----------------------------------------------------

TEST(PosixLocale, EveryLanguageRowIsReachable) {
  ScopedEnv env;
  for (const FuntionImpl::LanguageEntry& row : FuntionImpl::LanguageTable()) {
    const char* name = nullptr;
    for (const auto& entry : platform::posix::LocaleTable()) {
      if (entry.langId == row.id) {
        name = entry.locale;
        break;
      }
    }
    ASSERT_NE(nullptr, name) << "no locale for " << row.name;
    // The codeset goes before a modifier: "sr_RS.UTF-8@latin".
    std::string locale = name;
    const size_t at = locale.find('@');
    locale.insert(at == std::string::npos ? locale.size() : at, ".UTF-8");
    env.OnlyLang(locale);
    EXPECT_EQ(row.id, RealSystem().UserDefaultUILanguage()) << name;
    EXPECT_EQ(row.name, FuntionImpl::GetUILanguageName()) << name;
  }
}

// The first message locale decides: LANGUAGE before LC_ALL, LC_MESSAGES and LANG.
TEST(PosixLocale, TheInterfaceLanguageFollowsTheMessageLocale) {
  ScopedEnv env;
  const std::vector<std::pair<std::string, EnumLanguage>> cases = {
      {"ja_JP.UTF-8", Japanese}, {"zh_TW", ChineseTrad}, {"zh_HK.UTF-8", ChineseTrad},
      {"hi_IN", Hindi},          {"ar_EG", English},     {"xx_YY", English}};
  for (const auto& [locale, language] : cases) {
    env.OnlyLang(locale);
    EXPECT_EQ(FuntionImpl::GetLanguageByLocalSystem(), language) << locale;
  }
  env.Set("LC_ALL", "de_DE.UTF-8");
  EXPECT_EQ(FuntionImpl::GetLanguageByLocalSystem(), German);
  env.Set("LANGUAGE", "fr_FR:en_US");
  EXPECT_EQ(FuntionImpl::GetLanguageByLocalSystem(), French);
}

TEST(PosixLocale, EveryTableNameMapsToItsOwnRow) {
  for (const auto& entry : platform::posix::LocaleTable())
    EXPECT_EQ(entry.langId, platform::posix::LangIdFromLocale(entry.locale)) << entry.locale;
}

TEST(PosixLocale, LocaleForms) {
  using platform::posix::LangIdFromLocale;
  EXPECT_EQ(0x0C0A, LangIdFromLocale("es_ES.UTF-8"));
  EXPECT_EQ(0x040A, LangIdFromLocale("es_ES.UTF-8@traditional"));
  EXPECT_EQ(0x2C0A, LangIdFromLocale("es_AR"));
  EXPECT_EQ(0x0404, LangIdFromLocale("zh_TW"));
  EXPECT_EQ(0x0404, LangIdFromLocale("zh_TW.Big5"));
  EXPECT_EQ(0x0804, LangIdFromLocale("zh_CN.GB18030"));
  EXPECT_EQ(0x081A, LangIdFromLocale("sr_RS@latin"));
  EXPECT_EQ(0x081A, LangIdFromLocale("sr_RS.UTF-8@latin"));
  EXPECT_EQ(0x081A, LangIdFromLocale("sr-Latn-RS"));
  EXPECT_EQ(0x0C1A, LangIdFromLocale("sr_RS"));
  EXPECT_EQ(0x0843, LangIdFromLocale("uz_UZ@cyrillic"));
  EXPECT_EQ(0x0409, LangIdFromLocale("C"));
  EXPECT_EQ(0x0409, LangIdFromLocale("C.UTF-8"));
  EXPECT_EQ(0x0409, LangIdFromLocale("POSIX"));
  EXPECT_EQ(0x0409, LangIdFromLocale(""));
  EXPECT_EQ(0x0407, LangIdFromLocale("de"));
  EXPECT_EQ(0x0407, LangIdFromLocale("DE_de"));
  EXPECT_EQ(0x0416, LangIdFromLocale("pt_BR.utf8"));
  EXPECT_EQ(0x0816, LangIdFromLocale("pt-PT"));
  EXPECT_EQ(0x040C, LangIdFromLocale("fr_SN.UTF-8"));  // known language, other country
  EXPECT_EQ(0x0409, LangIdFromLocale("xx_YY"));        // unknown language
  EXPECT_EQ(0x0000, LangIdFromLocale("und"));
  EXPECT_EQ(0x0400, LangIdFromLocale("default"));
  EXPECT_EQ(0x2409, LangIdFromLocale("en_029"));
  EXPECT_EQ(0x0827, LangIdFromLocale("lt_LT@classic"));
}

TEST(PosixLocale, VariableOrder) {
  ScopedEnv env;
  env.Set("LANGUAGE", std::string("fr_CA:de"));
  env.Set("LC_ALL", std::string("ja_JP.UTF-8"));
  env.Set("LC_MESSAGES", std::string("ko_KR.UTF-8"));
  env.Set("LANG", std::string("es_ES.UTF-8"));
  EXPECT_EQ(0x0C0C, RealSystem().UserDefaultUILanguage());
  env.Set("LANGUAGE", std::string(":de_AT"));  // first non-empty entry
  EXPECT_EQ(0x0C07, RealSystem().UserDefaultUILanguage());
  env.Set("LANGUAGE", std::string(""));
  EXPECT_EQ(0x0411, RealSystem().UserDefaultUILanguage());
  env.Set("LC_ALL", std::nullopt);
  EXPECT_EQ(0x0412, RealSystem().UserDefaultUILanguage());
  env.Set("LC_MESSAGES", std::nullopt);
  EXPECT_EQ(0x0C0A, RealSystem().UserDefaultUILanguage());
  env.Set("LANG", std::nullopt);
  EXPECT_EQ(0x0409, RealSystem().UserDefaultUILanguage());
}

TEST(PosixLocale, RegionIsTheLocaleCountry) {
  ScopedEnv env;
  env.OnlyLang("es_AR.UTF-8");
  EXPECT_EQ(L"AR", RealSystem().SystemRegion());
  EXPECT_EQ(L"AR", FuntionImpl::GetSystemRegion());
  env.Set("LANGUAGE", std::string("es"));  // no country: the next value has one
  env.Set("LANG", std::string("de_AT.UTF-8"));
  EXPECT_EQ(L"AT", RealSystem().SystemRegion());
  env.OnlyLang("C.UTF-8");
  EXPECT_EQ(L"", RealSystem().SystemRegion());
  env.OnlyLang("sr_RS@latin");
  EXPECT_EQ(L"RS", RealSystem().SystemRegion());
}

// ---- process, time, OS ----------------------------------------------------------

TEST(PosixSystem, ModulePathEnvironmentAndWow64) {
  const std::wstring module = RealSystem().ModulePath();
  EXPECT_EQ(W(fs::read_symlink("/proc/self/exe")), module);
  EXPECT_EQ(0u, module.find(L"/"));

  ScopedEnv env;
  env.Set("SETUP_TEST_VALUE", std::string("Gr\xC3\xBC\xC3\x9F"));
  env.Set("SETUP_TEST_EMPTY", std::string(""));
  env.Set("SETUP_TEST_UNSET", std::nullopt);
  bool found = false;
  EXPECT_EQ(std::wstring(L"Gr\u00FC\u00DF"), RealSystem().GetEnv(L"SETUP_TEST_VALUE", &found));
  EXPECT_TRUE(found);
  EXPECT_EQ(L"", RealSystem().GetEnv(L"SETUP_TEST_EMPTY", &found));
  EXPECT_TRUE(found);
  EXPECT_EQ(L"", RealSystem().GetEnv(L"SETUP_TEST_UNSET", &found));
  EXPECT_FALSE(found);

  EXPECT_EQ(sizeof(void*) == 4 && false, RealSystem().IsWow64());  // 64-bit build here
  if (sizeof(void*) == 8) {
    EXPECT_FALSE(FuntionImpl::IsWow64());
  }
}

TEST(PosixSystem, ClocksWithMilliseconds) {
  const time_t before = time(nullptr);
  const platform::LocalTime utc = RealSystem().UtcNow();
  const platform::LocalTime local = RealSystem().Now();
  const time_t after = time(nullptr);
  struct tm utcParts;
  gmtime_r(&before, &utcParts);
  EXPECT_EQ(utcParts.tm_year + 1900, utc.year);
  EXPECT_GE(utc.millisecond, 0);
  EXPECT_LE(utc.millisecond, 999);
  EXPECT_GE(local.millisecond, 0);
  EXPECT_LE(local.millisecond, 999);
  struct tm utcTm = {};
  utcTm.tm_year = utc.year - 1900;
  utcTm.tm_mon = utc.month - 1;
  utcTm.tm_mday = utc.day;
  utcTm.tm_hour = utc.hour;
  utcTm.tm_min = utc.minute;
  utcTm.tm_sec = utc.second;
  const time_t utcSeconds = timegm(&utcTm);
  EXPECT_GE(utcSeconds, before);
  EXPECT_LE(utcSeconds, after);
  // Local time agrees with localtime_r.
  struct tm localParts;
  localtime_r(&utcSeconds, &localParts);
  EXPECT_EQ(localParts.tm_year + 1900, local.year);
  // China Standard Time is eight hours after UTC.
  const std::string cst = FuntionImpl::GetChinaStandardTime();
  EXPECT_TRUE(std::regex_match(cst, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})"))) << cst;
}

TEST(PosixSystem, OsVersionIsTheDistributionName) {
  const platform::OsVersionInfo os = RealSystem().OsVersion();
  EXPECT_FALSE(os.ntNumbersKnown);
  EXPECT_FALSE(os.versionExKnown);
  EXPECT_TRUE(os.currentBuild.empty());
  EXPECT_FALSE(os.linuxName.empty());
  const std::string release = ReadText("/etc/os-release");
  std::smatch match;
  if (std::regex_search(release, match, std::regex("(^|\\n)PRETTY_NAME=\"?([^\"\\n]*)\"?"))) {
    EXPECT_EQ(match[2].str(), os.linuxName);
  }
  float number = 42;
  if (!FuntionImpl::IsWindows11()) {
    EXPECT_EQ(os.linuxName, FuntionImpl::GetOSVersionName(&number));
    EXPECT_FLOAT_EQ(0.0f, number);
  }
}

TEST(PosixSystem, ScreenFromTheFramebuffer) {
  platform::ScreenInfo info;
  const bool ok = RealSystem().Screen(&info);
  EXPECT_EQ(fs::exists("/sys/class/graphics/fb0/virtual_size"), ok);
  if (ok) {
    EXPECT_GT(info.width, 0);
    EXPECT_EQ(info.width, info.monitorWidth);
  }
}

// ---- drives ------------------------------------------------------------------------

std::optional<std::string> RootDevice() {
  std::optional<std::string> device;
  for (const auto& m : platform::posix::ParseMountTable(ReadText("/proc/self/mounts")))
    if (m.mountPoint == "/" && m.device.rfind("/dev/", 0) == 0) device = m.device;
  return device;
}

TEST(PosixDrives, RootIsADriveWithFreeSpace) {
  if (!RootDevice()) GTEST_SKIP() << "the root filesystem is not on a block device here";
  const std::vector<std::wstring> drives = RealSystem().LogicalDrives();
  ASSERT_FALSE(drives.empty());
  EXPECT_NE(drives.end(), std::find(drives.begin(), drives.end(), L"/"));
  for (const std::wstring& root : drives) EXPECT_EQ(L'/', root.back());
  std::set<std::wstring> unique(drives.begin(), drives.end());
  EXPECT_EQ(unique.size(), drives.size());

  uint64_t free = 0;
  ASSERT_TRUE(RealSystem().FreeBytesAvailable(L"/", &free));
  EXPECT_GT(free, 0u);
  ASSERT_TRUE(RealSystem().FreeBytesAvailable(L"/tmp", &free));  // any folder
  EXPECT_FALSE(RealSystem().FreeBytesAvailable(L"/no/such/folder", &free));

  EXPECT_EQ(platform::kDriveFixed, RealSystem().DriveType(L"/"));
  EXPECT_EQ(1, RealSystem().DriveType(L"/no/such/root/"));
  EXPECT_NE(platform::kBusTypeUsb, RealSystem().BusType(L"/"));
  bool penalty = false;
  if (fs::exists("/sys/dev/block")) {
    EXPECT_TRUE(RealSystem().SeekPenalty(L"/", &penalty));
    EXPECT_EQ(FuntionImpl::IsSsdRoot(L"/"), !penalty);
  }
  EXPECT_FALSE(RealSystem().SeekPenalty(L"/no/such/root/", &penalty));
  EXPECT_FALSE(FuntionImpl::IsSsdDrive(L'C'));  // no letters on Linux

  // "/" is a candidate, so the roomiest drive exists.
  const std::wstring moved = FuntionImpl::MoveToRoomiestDrive(L"/home/u/RIVovaravizu/setup");
  EXPECT_EQ(L'/', moved[0]);
  EXPECT_NE(std::wstring::npos, moved.find(L"home/u/RIVovaravizu/setup"));
}

TEST(PosixDrives, RotationalMatchesSysfs) {
  const auto device = RootDevice();
  if (!device || !fs::exists("/sys/dev/block")) GTEST_SKIP() << "no block device or sysfs";
  struct stat st;
  ASSERT_EQ(0, stat("/", &st));
  const std::string link = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                           std::to_string(minor(st.st_dev));
  if (!fs::exists(link)) GTEST_SKIP() << "root device not in sysfs";
  fs::path disk = fs::canonical(link);
  if (fs::exists(disk / "partition")) disk = disk.parent_path();
  std::string rotational = ReadText((disk / "queue" / "rotational").string());
  bool penalty = false;
  ASSERT_TRUE(RealSystem().SeekPenalty(L"/", &penalty));
  EXPECT_EQ(rotational.rfind("1", 0) == 0, penalty);
}

TEST(PosixDrives, MountTableParsingAndDeduplication) {
  TempFolder temp;
  const std::string dir = temp.path().string();
  fs::create_directories(temp.path() / "My Disk");
  const std::string table =
      "proc /proc proc rw 0 0\n"
      "tmpfs /dev/shm tmpfs rw 0 0\n"
      "/dev/setup-test-a " + dir + " ext4 rw 0 0\n"
      "/dev/setup-test-b " + dir + "/My\\040Disk ext4 rw 0 0\n"
      "/dev/setup-test-a " + dir + "/again ext4 rw 0 0\n"
      "server:/export /mnt/nfs nfs rw 0 0\n";
  const auto mounts = platform::posix::ParseMountTable(table);
  ASSERT_EQ(6u, mounts.size());
  EXPECT_EQ(dir + "/My Disk", mounts[3].mountPoint);
  const auto drives = platform::posix::BlockDrivesFrom(mounts);
  ASSERT_EQ(2u, drives.size());
  EXPECT_EQ(dir + "/", drives[0].root);
  EXPECT_EQ("/dev/setup-test-a", drives[0].device);
  EXPECT_EQ(dir + "/My Disk/", drives[1].root);
  // The device number comes from the mounted folder when the node is missing.
  struct stat st;
  ASSERT_EQ(0, stat(dir.c_str(), &st));
  EXPECT_EQ(st.st_dev, drives[0].number);
}

TEST(PosixDrives, SystemVolumeGuidIsAUuid) {
  const std::wstring guid = FuntionImpl::GetSystemVolumeGuid();
  const std::string text = platform::WideToUtf8(guid);
  const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
  if (!text.empty()) {
    EXPECT_TRUE(std::regex_match(text, uuid)) << text;
  }
  EXPECT_EQ(text, platform::posix::RootFilesystemUuid());
  // Some answer exists whenever udev's links or a machine id do.
  std::string machineId = ReadText("/etc/machine-id");
  if (fs::exists("/dev/disk/by-uuid") || machineId.size() >= 32) {
    EXPECT_FALSE(text.empty());
  }
  // The same answer every time.
  EXPECT_EQ(guid, RealSystem().SystemVolumeGuid());
}

// ---- text ------------------------------------------------------------------------

TEST(PosixText, RoundTripsAndInvalidInput) {
  const std::string utf8 = "\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 \xD0\x96";
  const std::wstring wide = platform::Utf8ToWide(utf8);
  EXPECT_EQ(std::wstring(L"\u00E9t\u00E9 \u4E2D\u6587 \U0001F600 \u0416"), wide);
  EXPECT_EQ(utf8, platform::WideToUtf8(wide));
  EXPECT_EQ(utf8, platform::WideToAnsi(platform::AnsiToWide(utf8)));
  EXPECT_EQ(utf8, FuntionImpl::AnsiToUtf8(utf8));

  // Long texts (more than one conversion buffer).
  std::string longText;
  for (int i = 0; i < 5000; ++i) longText += "\xE4\xB8\xAD";
  EXPECT_EQ(5000u, platform::Utf8ToWide(longText).size());
  EXPECT_EQ(longText, platform::WideToUtf8(platform::Utf8ToWide(longText)));

  // Invalid UTF-8: replaced, the rest kept.
  const std::wstring bad = platform::Utf8ToWide(std::string("a\xFF" "b\xC3", 4));
  EXPECT_EQ(std::wstring(L"a\uFFFDb\uFFFD"), bad);
  // Invalid code points in wide text.
  std::wstring badWide = L"x";
  badWide += static_cast<wchar_t>(0xD800);
  badWide += static_cast<wchar_t>(0x110000);
  badWide += L"y";
  EXPECT_EQ("x\xEF\xBF\xBD\xEF\xBF\xBDy", platform::WideToUtf8(badWide));
  EXPECT_EQ("", platform::WideToUtf8(L""));
  const std::wstring withNul(L"a\0b", 3);
  EXPECT_EQ(std::string("a\0b", 3), platform::WideToUtf8(withNul));
}

// ---- files and folders ----------------------------------------------------------

TEST(PosixFiles, CreateOneDirectoryErrors) {
  TempFolder temp;
  const std::wstring base = W(temp.path());
  EXPECT_EQ(platform::kErrorSuccess, platform::CreateOneDirectory(base + L"/a"));
  EXPECT_EQ(platform::kErrorAlreadyExists, platform::CreateOneDirectory(base + L"/a"));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::CreateOneDirectory(base + L"/x/y"));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::CreateOneDirectory(L""));
  EXPECT_TRUE(platform::IsDirectory(base + L"/a"));
  EXPECT_TRUE(platform::FileExists(base + L"/a"));
  EXPECT_FALSE(platform::FileExists(base + L"/nothing"));
  std::ofstream(temp.path() / "file.txt") << "x";
  EXPECT_TRUE(platform::FileExists(base + L"/file.txt"));
  EXPECT_FALSE(platform::IsDirectory(base + L"/file.txt"));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::CreateOneDirectory(base + L"/file.txt/sub"));
  // A backslash is a folder separator for the platform layer.
  EXPECT_EQ(platform::kErrorSuccess, platform::CreateOneDirectory(base + L"\\a\\b"));
  EXPECT_TRUE(fs::is_directory(temp.path() / "a" / "b"));
}

TEST(PosixFiles, CreateDirectoriesWithBothSeparators) {
  TempFolder temp;
  const std::wstring base = W(temp.path());
  EXPECT_EQ(platform::kErrorSuccess, FuntionImpl::CreateDirectories(base + L"/one\\two/three"));
  EXPECT_TRUE(fs::is_directory(temp.path() / "one" / "two" / "three"));
  // A final separator: the last prefix is the whole path, created already.
  EXPECT_EQ(platform::kErrorAlreadyExists, FuntionImpl::CreateDirectories(base + L"/1\\2/"));
  EXPECT_TRUE(fs::is_directory(temp.path() / "1" / "2"));
  EXPECT_EQ(platform::kErrorAlreadyExists, FuntionImpl::CreateDirectories(base + L"/one/two"));
  const std::wstring unicode = base + L"/\u00FCber/\u4E2D";
  EXPECT_EQ(platform::kErrorSuccess, FuntionImpl::CreateDirectories(unicode));
  EXPECT_TRUE(fs::is_directory(temp.path() / "\xC3\xBC" "ber" / "\xE4\xB8\xAD"));
}

TEST(PosixFiles, CreateDirectoriesOnAFullDiskGives112) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tiny filesystem needs root";
  TempFolder temp;
  const std::string mnt = (temp.path() / "tiny").string();
  fs::create_directories(mnt);
  // Three inodes: the root and two folders.
  if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k,nr_inodes=3") != 0)
    GTEST_SKIP() << "cannot mount tmpfs: " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{mnt};
  const std::wstring base = W(mnt);
  EXPECT_EQ(platform::kErrorDiskFull, FuntionImpl::CreateDirectories(base + L"/a/b/c/d/e"));
  EXPECT_TRUE(fs::is_directory(mnt + "/a/b"));
  EXPECT_FALSE(fs::exists(mnt + "/a/b/c"));
  EXPECT_EQ(platform::kErrorDiskFull, platform::CreateOneDirectory(base + L"/z"));
}

TEST(PosixFiles, ListDirectory) {
  TempFolder temp;
  fs::create_directories(temp.path() / "sub");
  std::ofstream(temp.path() / "f.txt") << "x";
  fs::create_directory_symlink(temp.path() / "sub", temp.path() / "link");
  std::map<std::wstring, bool> seen;
  for (const auto& e : platform::ListDirectory(W(temp.path()))) seen[e.name] = e.isDirectory;
  std::map<std::wstring, bool> expected = {{L"sub", true}, {L"f.txt", false}, {L"link", true}};
  EXPECT_EQ(expected, seen);
  EXPECT_TRUE(platform::ListDirectory(W(temp.path() / "none")).empty());
}

// ---- resources and versions --------------------------------------------------------

TEST(PosixResources, SkinArchiveIsLinkedIn) {
  const void* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(platform::LoadModuleResource(L"ZIPRES", 138, &data, &size));
  ASSERT_GE(size, 4u);
  EXPECT_EQ(0, std::memcmp(data, "PK", 2));
  EXPECT_FALSE(platform::LoadModuleResource(L"ZIPRES", 139, &data, &size));
  EXPECT_FALSE(platform::LoadModuleResource(L"PNG", 138, &data, &size));
  EXPECT_FALSE(platform::LoadModuleResource(nullptr, 138, &data, &size));
}

TEST(PosixResources, OwnVersionRecord) {
  const std::wstring self = RealSystem().ModulePath();
  platform::FileVersion version;
  ASSERT_TRUE(platform::ReadFileVersion(self, &version));
  EXPECT_EQ(SETUP_VERSION_TEXT, FuntionImpl::GetFileVersion(self));
  std::wstring name, productVersion, copyright, description;
  FuntionImpl::GetFileVersionStrings(self, &name, &productVersion, &copyright, &description);
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(W(std::string(SETUP_VERSION_TEXT)), productVersion);
  EXPECT_FALSE(description.empty());
  // The installer itself carries the same record.
  const std::wstring setup = W(std::string(SETUP_BIN_DIR) + "/Setup");
  if (platform::FileExists(setup)) {
    EXPECT_EQ(SETUP_VERSION_TEXT, FuntionImpl::GetFileVersion(setup));
  }
}

TEST(PosixResources, FilesWithoutARecord) {
  TempFolder temp;
  platform::FileVersion version;
  std::wstring texts[4] = {L"x", L"x", L"x", L"x"};
  EXPECT_FALSE(platform::ReadFileVersion(L"/bin/sh", &version));
  EXPECT_FALSE(platform::ReadFileVersionStrings(L"/bin/sh", texts));
  EXPECT_EQ(L"", texts[0]);
  EXPECT_EQ("", FuntionImpl::GetFileVersion(L"/no/such/file"));
  std::ofstream(temp.path() / "text.txt") << "not an ELF file at all, just some text";
  EXPECT_FALSE(platform::ReadFileVersion(W(temp.path() / "text.txt"), &version));
  EXPECT_FALSE(platform::ReadFileVersion(W(temp.path()), &version));  // a folder
  // A truncated copy of a real program.
  std::ifstream self("/proc/self/exe", std::ios::binary);
  std::string head(200, '\0');
  self.read(&head[0], static_cast<std::streamsize>(head.size()));
  std::ofstream(temp.path() / "cut", std::ios::binary) << head;
  EXPECT_FALSE(platform::ReadFileVersion(W(temp.path() / "cut"), &version));
  std::wstring a, b, c, d = L"x";
  FuntionImpl::GetFileVersionStrings(L"/bin/sh", &a, &b, &c, &d);
  EXPECT_EQ(L"", d);
}

// ---- single instance -------------------------------------------------------------

std::wstring UniqueName(const char* what) {
  return W(std::string("setup-test-") + what + "-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// Runs `body` in a child process that signals readiness on a pipe and then
// waits until the parent closes the other pipe.
class Child {
 public:
  template <typename Body>
  explicit Child(Body body) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      const char status = body() ? 'y' : 'n';
      if (write(ready[1], &status, 1) != 1) _exit(3);
      char c;
      while (read(release[0], &c, 1) > 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char status = 0;
    ok_ = read(ready[0], &status, 1) == 1 && status == 'y';
    close(ready[0]);
  }
  ~Child() { Finish(); }
  bool ok() const { return ok_; }
  void Finish() {
    if (release_ >= 0) close(release_);
    release_ = -1;
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool ok_ = false;
};

TEST(PosixInstance, NamedMutexAcrossProcesses) {
  const std::wstring name = UniqueName("mutex");
  uint32_t error = 99;
  {
    Child holder([&] {
      uint32_t e = 99;
      static std::unique_ptr<platform::NamedMutex> held;
      held = platform::CreateOwnedMutex(name, &e);
      return e == platform::kErrorSuccess;
    });
    ASSERT_TRUE(holder.ok());
    auto second = platform::CreateOwnedMutex(name, &error);
    EXPECT_NE(nullptr, second);
    EXPECT_EQ(platform::kErrorAlreadyExists, error);
  }  // the holder ended: its lock died with it
  auto mine = platform::CreateOwnedMutex(name, &error);
  EXPECT_EQ(platform::kErrorSuccess, error);
  // A second creation in the same process also finds it.
  auto again = platform::CreateOwnedMutex(name, &error);
  EXPECT_EQ(platform::kErrorAlreadyExists, error);
  mine->Release();
  auto afterRelease = platform::CreateOwnedMutex(name, &error);
  EXPECT_EQ(platform::kErrorSuccess, error);
}

TEST(PosixInstance, AdvertisedWindowIsFoundWhileItsProcessLivesAndUntilWithdrawn) {
  const std::wstring className = UniqueName("window");
  EXPECT_FALSE(platform::FindVisibleInstance(className, false));
  {
    Child window([&] {
      platform::AdvertiseInstance(className);
      return true;
    });
    ASSERT_TRUE(window.ok());
    EXPECT_TRUE(platform::FindVisibleInstance(className, false));
    EXPECT_TRUE(platform::FindVisibleInstance(className, true));
    EXPECT_FALSE(platform::FindVisibleInstance(className + L"-other", false));
  }
  EXPECT_FALSE(platform::FindVisibleInstance(className, false));
  // A process whose window is gone but which still runs (waiting for its
  // threads) is found no more.
  Child closing([&] {
    platform::AdvertiseInstance(className);
    platform::WithdrawInstance(className);
    return true;
  });
  ASSERT_TRUE(closing.ok());
  EXPECT_FALSE(platform::FindVisibleInstance(className, false));
}

TEST(PosixInstance, ComAndFirewall) {
  EXPECT_TRUE(platform::ComInitialize());
  platform::ComUninitialize();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(-1, platform::WindowsFirewallAuthorize(L"/usr/bin/Setup"));
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, out.find("Firewall")) << out;
  EXPECT_EQ(1, std::count(out.begin(), out.end(), '\n'));
}

}  // namespace

// The shell's open starts programs detached with their parameters, starts a
// program that Explorer is asked to show with "/e, ", and reports a program
// that does not exist as a failure.
TEST(PosixShell, OpenStartsProgramsAndReportsMissingOnes) {
  TempFolder folder;
  const std::string script = (folder.path() / "tool.sh").string();
  std::ofstream(script) << "#!/bin/sh\necho \"$@\" >>\"$(dirname \"$0\")/ran.txt\"\n";
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  platform::ISystem& system = platform::RealSystem();
  EXPECT_TRUE(system.ShellOpen(platform::Utf8ToWide(script), L" -close02 Setup .log", false));
  EXPECT_TRUE(system.ShellOpen(L"explorer.exe", L"/e, \"" + platform::Utf8ToWide(script) + L"\"", true));
  EXPECT_FALSE(system.ShellOpen(platform::Utf8ToWide((folder.path() / "missing").string()), L"", true));
  std::multiset<std::string> lines;
  for (int i = 0; i < 100 && lines.size() < 2; ++i) {
    usleep(20000);
    lines.clear();
    std::ifstream in(folder.path() / "ran.txt");
    for (std::string line; std::getline(in, line);) lines.insert(line);
  }
  EXPECT_EQ(lines, (std::multiset<std::string>{"", "-close02 Setup .log"}));
}
