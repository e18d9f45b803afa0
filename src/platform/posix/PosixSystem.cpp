// posix backend: the real system object (Linux equivalents of the Win32
// queries) and the program's own version record.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"
#include "platform/posix/PosixLocale.h"
#include "platform/posix/PosixRegistry.h"

// ---- the version record of our own programs -----------------------------------
//
// Linux programs built from these sources carry their version in the ELF
// section "setup_version" (read back by ReadFileVersion, PosixResources.cpp):
//   "SETUPVER1\0" version "\0" ProductName "\0" ProductVersion "\0"
//   LegalCopyright "\0" FileDescription "\0"
// where version is "major.minor.build.revision". All text, so the record
// reads the same on any byte order. It lives in this file because every
// program that uses the platform layer links it (RealSystem()).
#ifndef SETUP_VERSION_TEXT
#define SETUP_VERSION_TEXT "0.0.0.0"
#endif
#ifndef SETUP_PRODUCT_NAME
#define SETUP_PRODUCT_NAME "Setup"
#endif
#ifndef SETUP_LEGAL_COPYRIGHT
#define SETUP_LEGAL_COPYRIGHT ""
#endif
#ifndef SETUP_FILE_DESCRIPTION
#define SETUP_FILE_DESCRIPTION "Web installer"
#endif

extern "C" {
extern const char setup_version_record[];
__attribute__((section("setup_version"), used, aligned(1)))
const char setup_version_record[] =
    "SETUPVER1\0" SETUP_VERSION_TEXT "\0" SETUP_PRODUCT_NAME "\0" SETUP_VERSION_TEXT
    "\0" SETUP_LEGAL_COPYRIGHT "\0" SETUP_FILE_DESCRIPTION;
}

namespace platform {

const wchar_t kPathSep = L'/';

namespace {

LocalTime FromTimespec(const timespec& ts, bool utc) {
  static std::once_flag tzOnce;
  std::call_once(tzOnce, [] { tzset(); });
  struct tm parts;
  std::memset(&parts, 0, sizeof parts);
  if (utc) gmtime_r(&ts.tv_sec, &parts);
  else localtime_r(&ts.tv_sec, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

// One value of an os-release file ("KEY=value", value maybe quoted with
// shell escapes).
std::string OsReleaseValue(const std::string& content, const std::string& key) {
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, key.size() + 1, key + "=") != 0) continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      const char quote = value.front();
      value = value.substr(1, value.size() - 2);
      if (quote == '"') {
        std::string unescaped;
        for (size_t i = 0; i < value.size(); ++i) {
          if (value[i] == '\\' && i + 1 < value.size()) ++i;
          unescaped += value[i];
        }
        value = unescaped;
      }
    }
    return value;
  }
  return std::string();
}

class PosixSystem : public ISystem {
 public:
  std::wstring ModulePath() override {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::wstring();
    return Utf8ToWide(std::string(buffer, static_cast<size_t>(n)));
  }

  std::wstring GetEnv(const std::wstring& name, bool* found) override {
    const char* value = std::getenv(WideToUtf8(name).c_str());
    if (found) *found = value != nullptr;
    return value ? AnsiToWide(value) : std::wstring();
  }

  LocalTime Now() override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FromTimespec(ts, false);
  }

  LocalTime UtcNow() override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FromTimespec(ts, true);
  }

  // A 32-bit process on a 64-bit kernel.
  bool IsWow64() override {
    if (sizeof(void*) != 4) return false;
    struct utsname names;
    if (uname(&names) != 0) return false;
    const std::string machine = names.machine;
    return machine == "x86_64" || machine == "aarch64" || machine == "ppc64" ||
           machine == "ppc64le" || machine == "s390x" || machine == "mips64" ||
           machine == "riscv64" || machine == "sparc64";
  }

  uint16_t UserDefaultUILanguage() override {
    const std::vector<std::string> candidates = posix::MessageLocaleCandidates();
    return posix::LangIdFromLocale(candidates.empty() ? std::string() : candidates.front());
  }

  // The territory of the first locale value that has one (LANGUAGE entry,
  // LC_ALL, LC_MESSAGES, LANG); empty when none has.
  std::wstring SystemRegion() override {
    for (const std::string& locale : posix::MessageLocaleCandidates()) {
      const std::string region = posix::RegionFromLocale(locale);
      if (!region.empty()) return Utf8ToWide(region);
    }
    return std::wstring();
  }

  // Nothing Windows-specific is known on Linux: only the distribution name.
  OsVersionInfo OsVersion() override {
    OsVersionInfo info;
    std::string content;
    if (!posix::ReadWholeFile("/etc/os-release", &content) || content.empty())
      posix::ReadWholeFile("/usr/lib/os-release", &content);
    std::string name = OsReleaseValue(content, "PRETTY_NAME");
    if (name.empty()) name = OsReleaseValue(content, "NAME");
    if (name.empty()) {
      struct utsname names;
      name = uname(&names) == 0 ? std::string(names.sysname) + " " + names.release : "Linux";
    }
    info.linuxName = name;
    return info;
  }

  std::vector<std::wstring> LogicalDrives() override {
    std::vector<std::wstring> roots;
    for (const posix::BlockDrive& drive : posix::MountedBlockDrives())
      roots.push_back(Utf8ToWide(drive.root));
    return roots;
  }

  int DriveType(const std::wstring& root) override {
    posix::BlockDrive drive;
    if (!posix::FindBlockDrive(posix::NativePath(root), &drive)) return 1;  // DRIVE_NO_ROOT_DIR
    return posix::DriveTypeOf(drive);
  }

  int BusType(const std::wstring& root) override {
    posix::BlockDrive drive;
    if (!posix::FindBlockDrive(posix::NativePath(root), &drive)) return 0;
    return posix::BusTypeOf(drive);
  }

  bool SeekPenalty(const std::wstring& root, bool* seekPenalty) override {
    posix::BlockDrive drive;
    if (!posix::FindBlockDrive(posix::NativePath(root), &drive)) return false;
    return posix::RotationalOf(drive, seekPenalty);
  }

  // Any folder works, as with GetDiskFreeSpaceExW.
  bool FreeBytesAvailable(const std::wstring& root, uint64_t* bytes) override {
    struct statvfs st;
    if (root.empty() || statvfs(posix::NativePath(root).c_str(), &st) != 0) return false;
    if (bytes) *bytes = static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
    return true;
  }

  std::wstring SystemVolumeGuid() override { return Utf8ToWide(posix::RootFilesystemUuid()); }

  // The first framebuffer's size, when there is one.
  bool Screen(ScreenInfo* info) override {
    std::string size;
    posix::ReadWholeFile("/sys/class/graphics/fb0/virtual_size", &size);
    int width = 0, height = 0;
    if (std::sscanf(size.c_str(), "%d,%d", &width, &height) != 2 || width <= 0 || height <= 0)
      return false;
    if (info) {
      info->width = width;
      info->height = height;
      info->monitorWidth = width;
    }
    return true;
  }

  bool RegReadString(const std::wstring& key, const std::wstring& name,
                     std::wstring* value) override {
    return posix::RegistryStore::Default().Read(key, name, value);
  }

  bool RegWriteString(const std::wstring& key, const std::wstring& name,
                      const std::wstring& value) override {
    return posix::RegistryStore::Default().Write(key, name, value);
  }

  bool RegReadMultiString(const std::wstring& key, const std::wstring& name,
                          std::vector<std::wstring>* values) override {
    std::wstring block;
    if (!posix::RegistryStore::Default().Read(key, name, &block)) return false;
    *values = SplitMultiString(block);
    return true;
  }

  bool RegKeyOpens(const std::wstring& key) override { return posix::RegistryStore::Default().HasKey(key); }

  bool RegWriteUserString(const std::wstring& key, const std::wstring& name,
                          const std::wstring& value) override {
    return posix::RegistryStore::User().Write(key, name, value);
  }

  bool ShellOpen(const std::wstring& file, const std::wstring& parameters, bool) override {
    if (file == L"explorer.exe") return OpenAsExplorer(WideToUtf8(parameters));
    return posix::SpawnDetached(posix::NativePath(file), posix::BlankSeparatedWords(parameters));
  }

  // The desktop session's opener runs as the user already.
  WebPageOpened OpenWebPage(const std::wstring& url) override {
    return posix::SpawnDetached("xdg-open", {WideToUtf8(url)}) ? WebPageOpened::kAsUser : WebPageOpened::kNot;
  }

 private:
  // "/e, path" starts a program (or opens a folder); "/select, path" opens
  // the folder that holds the path. Quotation marks around the path go.
  static bool OpenAsExplorer(const std::string& parameters) {
    const size_t comma = parameters.find(',');
    if (comma == std::string::npos) return false;
    std::string path = parameters.substr(comma + 1);
    path.erase(0, path.find_first_not_of(' '));
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    path = posix::NativePath(Utf8ToWide(path));
    const bool select = parameters.compare(0, comma, "/select") == 0;
    struct stat info;
    if (!select && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0)
      return posix::SpawnDetached(path, {});
    const std::string folder = select ? path.substr(0, path.rfind('/') + 1) : path;
    return posix::SpawnDetached("xdg-open", {folder});
  }
};

}  // namespace

// Constructed before the reporting SDK's runtime (whose construction asks
// for the program's path), so destroyed after it has joined its sender.
ISystem& RealSystem() {
  static PosixSystem* system = new PosixSystem();
  // Keeps the version record referenced even under --gc-sections.
  static const char* volatile record = setup_version_record;
  (void)record;
  return *system;
}

}  // namespace platform
