// The real system object of the win32 backend: every query asks Win32
// afresh: start-up, system information and drive queries.
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

#include <shellapi.h>
#include <winioctl.h>

#include <cstring>

namespace platform {

namespace win32 {

bool QueryRegString(HKEY key, const wchar_t* name, size_t maxChars, std::wstring* value) {
  std::wstring buffer(maxChars + 1, L'\0');
  DWORD type = 0;
  DWORD bytes = static_cast<DWORD>(maxChars * sizeof(wchar_t));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &bytes) !=
      ERROR_SUCCESS)
    return false;
  size_t length = bytes / sizeof(wchar_t);
  if (length > maxChars) length = maxChars;
  buffer.resize(length);
  while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
  // A value written without NUL may still hold an inner one: stop there.
  const size_t nul = buffer.find(L'\0');
  if (nul != std::wstring::npos) buffer.resize(nul);
  *value = buffer;
  return true;
}

namespace {

std::wstring InFolder(UINT (WINAPI* folderOf)(LPWSTR, UINT), const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = folderOf(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(folder, length) + L"\\" + name;
}

}  // namespace

std::wstring WindowsFolderFile(const wchar_t* name) { return InFolder(&GetWindowsDirectoryW, name); }
std::wstring SystemFolderFile(const wchar_t* name) { return InFolder(&GetSystemDirectoryW, name); }

}  // namespace win32

namespace {

using win32::ScopedHandle;
using win32::ScopedRegKey;

// RegCreateKeyW + RegSetValueExW(REG_SZ) with the text and its terminating
// NUL, as readers of REG_SZ values expect.
bool WriteRegString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  ScopedRegKey handle;
  if (RegCreateKeyW(root, key.c_str(), handle.out()) != ERROR_SUCCESS) return false;
  return RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

// "\\?\C:" for a root such as "C:\"; empty when the root has no drive letter.
std::wstring VolumeName(const std::wstring& root) {
  if (root.empty()) return std::wstring();
  const wchar_t letter = root[0];
  const bool isLetter = (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
  if (!isLetter) return std::wstring();
  return std::wstring(L"\\\\?\\") + letter + L":";
}

// Opens the volume of a drive root and asks one standard storage property
// into `out` (zeroed first); false when the volume cannot be opened or asked.
bool QueryStorageProperty(const std::wstring& root, DWORD access, DWORD flags,
                          STORAGE_PROPERTY_ID property, void* out, DWORD size) {
  const std::wstring volume = VolumeName(root);
  if (volume.empty()) return false;
  ScopedHandle device(CreateFileW(volume.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, flags, nullptr));
  if (!device.valid()) return false;
  STORAGE_PROPERTY_QUERY query;
  static_assert(sizeof(query) == 12, "12-byte STORAGE_PROPERTY_QUERY");
  std::memset(&query, 0, sizeof(query));
  query.PropertyId = property;
  query.QueryType = PropertyStandardQuery;
  std::memset(out, 0, size);
  DWORD returned = 0;
  return DeviceIoControl(device.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), out,
                         size, &returned, nullptr) != FALSE;
}

class Win32System final : public ISystem {
 public:
  std::wstring ModulePath() override {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
      if (n == 0) return std::wstring();
      if (n < buffer.size()) {
        buffer.resize(n);
        return buffer;
      }
      buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
  }

  std::wstring GetEnv(const std::wstring& name, bool* found) override {
    if (found) *found = false;
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) {
      // 0 is either "not set" or an empty value.
      const bool exists = GetLastError() != ERROR_ENVVAR_NOT_FOUND;
      if (found) *found = exists;
      return std::wstring();
    }
    for (;;) {
      std::wstring buffer(needed, L'\0');
      const DWORD n = GetEnvironmentVariableW(name.c_str(), &buffer[0], needed);
      if (n == 0) {
        if (found) *found = GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        return std::wstring();
      }
      if (n < needed) {
        buffer.resize(n);
        if (found) *found = true;
        return buffer;
      }
      needed = n;  // grew in between
    }
  }

  LocalTime Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return FromSystemTime(st);
  }

  LocalTime UtcNow() override {
    SYSTEMTIME st;
    GetSystemTime(&st);
    return FromSystemTime(st);
  }

  bool IsWow64() override {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (!kernel) return false;
    auto fn = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    if (!fn) return false;
    BOOL wow64 = FALSE;
    if (!fn(GetCurrentProcess(), &wow64)) return false;
    return wow64 != FALSE;
  }

  uint16_t UserDefaultUILanguage() override { return GetUserDefaultUILanguage(); }

  std::wstring SystemRegion() override {
    wchar_t buffer[260] = {0};
    const int n = GetGeoInfoW(GetUserGeoID(GEOCLASS_NATION), GEO_ISO2, buffer, 260,
                              static_cast<LANGID>(GetUserDefaultLCID()));
    if (n <= 0) return std::wstring();
    return std::wstring(buffer);
  }

  OsVersionInfo OsVersion() override {
    OsVersionInfo info;

    // RtlGetNtVersionNumbers of ntdll: the true version, whatever the manifest.
    using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
      auto fn = reinterpret_cast<RtlGetNtVersionNumbersFn>(
          reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
      if (fn) {
        DWORD major = 0, minor = 0, build = 0;
        fn(&major, &minor, &build);
        info.ntNumbersKnown = true;
        info.ntMajor = major;
        info.ntMinor = minor;
        info.ntBuild = build & 0x0FFFFFFF;  // the top bits flag free/checked builds
      }
    }

    SYSTEM_INFO si;
    std::memset(&si, 0, sizeof(si));
    GetSystemInfo(&si);
    info.processorArchitecture = si.wProcessorArchitecture;

    OSVERSIONINFOEXW vi;
    std::memset(&vi, 0, sizeof(vi));
    vi.dwOSVersionInfoSize = sizeof(vi);  // 284
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&vi))) {
      info.versionExKnown = true;
      info.major = vi.dwMajorVersion;
      info.minor = vi.dwMinorVersion;
      info.platformId = vi.dwPlatformId;
      info.workstation = vi.wProductType == VER_NT_WORKSTATION;
    }
    info.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;

    // The build number as IsWindows11 reads it.
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_ALL_ACCESS, key.out()) == ERROR_SUCCESS ||
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_ALL_ACCESS, key.out()) == ERROR_SUCCESS) {
      std::wstring build;
      if (win32::QueryRegString(key.get(), L"CurrentBuild", 260, &build) ||
          win32::QueryRegString(key.get(), L"CurrentBuildNumber", 260, &build))
        info.currentBuild = build;
    }
    return info;
  }

  std::vector<std::wstring> LogicalDrives() override {
    std::vector<std::wstring> drives;
    const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0) return drives;
    std::wstring buffer(needed + 1, L'\0');
    const DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), &buffer[0]);
    if (n == 0 || n > buffer.size()) return drives;
    for (const wchar_t* p = buffer.c_str(); *p; p += std::wcslen(p) + 1) drives.emplace_back(p);
    return drives;
  }

  int DriveType(const std::wstring& root) override {
    return static_cast<int>(GetDriveTypeW(root.c_str()));
  }

  // IOCTL_STORAGE_QUERY_PROPERTY, StorageDeviceProperty: the bus type of
  // the first 40 bytes of the STORAGE_DEVICE_DESCRIPTOR.
  int BusType(const std::wstring& root) override {
    STORAGE_DEVICE_DESCRIPTOR descriptor;
    static_assert(sizeof(descriptor) == 40, "the first 40 bytes of STORAGE_DEVICE_DESCRIPTOR");
    if (!QueryStorageProperty(root, GENERIC_READ, FILE_ATTRIBUTE_NORMAL, StorageDeviceProperty,
                              &descriptor, sizeof(descriptor)))
      return 0;
    return static_cast<int>(descriptor.BusType);
  }

  // IOCTL_STORAGE_QUERY_PROPERTY, StorageDeviceSeekPenaltyProperty, on the
  // volume opened without access rights.
  bool SeekPenalty(const std::wstring& root, bool* seekPenalty) override {
    DEVICE_SEEK_PENALTY_DESCRIPTOR descriptor;
    static_assert(sizeof(descriptor) == 12, "12-byte DEVICE_SEEK_PENALTY_DESCRIPTOR");
    if (!QueryStorageProperty(root, 0, 0, StorageDeviceSeekPenaltyProperty, &descriptor,
                              sizeof(descriptor)))
      return false;
    if (seekPenalty) *seekPenalty = descriptor.IncursSeekPenalty != FALSE;
    return true;
  }

  bool FreeBytesAvailable(const std::wstring& root, uint64_t* bytes) override {
    ULARGE_INTEGER available;
    available.QuadPart = 0;
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) return false;
    if (bytes) *bytes = available.QuadPart;
    return true;
  }

  std::wstring SystemVolumeGuid() override {
    wchar_t windows[MAX_PATH + 1] = {0};
    if (GetWindowsDirectoryW(windows, MAX_PATH) == 0 || windows[0] == L'\0') return std::wstring();
    const std::wstring root = std::wstring(1, windows[0]) + L":\\";
    wchar_t volume[MAX_PATH + 1] = {0};
    if (!GetVolumeNameForVolumeMountPointW(root.c_str(), volume, MAX_PATH)) return std::wstring();
    const std::wstring name(volume);
    const size_t open = name.find(L'{');
    if (open == std::wstring::npos) return std::wstring();
    const size_t close = name.find(L'}', open + 1);
    if (close == std::wstring::npos) return std::wstring();
    return name.substr(open + 1, close - open - 1);
  }

  bool Screen(ScreenInfo* info) override {
    DEVMODEW mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return false;
    info->width = static_cast<int>(mode.dmPelsWidth);
    info->height = static_cast<int>(mode.dmPelsHeight);
    info->monitorWidth = 0;
    HMONITOR monitor = MonitorFromWindow(GetDesktopWindow(), MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi;
    std::memset(&mi, 0, sizeof(mi));
    mi.cbSize = sizeof(mi);
    if (monitor && GetMonitorInfoW(monitor, &mi)) info->monitorWidth = mi.rcMonitor.right - mi.rcMonitor.left;
    return true;
  }

  // HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, a 260-character buffer.
  bool RegReadString(const std::wstring& key, const std::wstring& name, std::wstring* value) override {
    ScopedRegKey handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, handle.out()) != ERROR_SUCCESS)
      return false;
    return win32::QueryRegString(handle.get(), name.c_str(), 260, value);
  }

  bool RegWriteString(const std::wstring& key, const std::wstring& name, const std::wstring& value) override {
    return WriteRegString(HKEY_LOCAL_MACHINE, key, name, value);
  }

  bool RegKeyOpens(const std::wstring& key) override {
    ScopedRegKey handle;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, handle.out()) == ERROR_SUCCESS;
  }

  bool RegWriteUserString(const std::wstring& key, const std::wstring& name, const std::wstring& value) override {
    return WriteRegString(HKEY_CURRENT_USER, key, name, value);
  }

  // HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS; the value must be a REG_MULTI_SZ.
  bool RegReadMultiString(const std::wstring& key, const std::wstring& name,
                          std::vector<std::wstring>* values) override {
    ScopedRegKey handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, handle.out()) != ERROR_SUCCESS)
      return false;
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
      return false;
    std::wstring block(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&block[0]),
                         &bytes) != ERROR_SUCCESS)
      return false;
    block.resize(bytes / sizeof(wchar_t));
    *values = SplitMultiString(block);
    return true;
  }

  // A bare name would be looked for in the current folder and along PATH,
  // where anyone may put a program of that name: Windows' own programs are
  // started from the Windows folder.
  bool ShellOpen(const std::wstring& file, const std::wstring& parameters, bool show) override {
    const bool bare = file.find_first_of(L"\\/:") == std::wstring::npos;
    return ShellExecuteOpen(bare ? win32::WindowsFolderFile(file.c_str()) : file, parameters, show);
  }

  WebPageOpened OpenWebPage(const std::wstring& url) override {
    if (SUCCEEDED(win32::OpenFromDesktopShell(url))) return WebPageOpened::kAsUser;
    return ShellExecuteOpen(url, L"", true) ? WebPageOpened::kWithOwnRights : WebPageOpened::kNot;
  }

 private:
  // ShellExecuteW reports success with a value above 32.
  static bool ShellExecuteOpen(const std::wstring& file, const std::wstring& parameters, bool show) {
    if (file.empty()) return false;
    HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                     nullptr, show ? SW_SHOWNORMAL : SW_HIDE);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
};

}  // namespace

ISystem& RealSystem() {
  static Win32System system;
  return system;
}

}  // namespace platform
