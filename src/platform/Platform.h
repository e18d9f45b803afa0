// The platform layer: everything that touches the operating system.
// Two backends implement it: win32/ (real Win32 calls) and posix/ (Linux
// equivalents). Portable code includes only this header and never tests
// for the platform itself.
//
// Queries that tests must be able to substitute (clock, drives, language,
// OS version, environment, registry) go through the ISystem object returned
// by platform::System(); a test installs its own subclass with SetSystem().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// ---- constants -----------------------------------------------------------

// Folder separator of the platform's paths ('\\' on Windows, '/' elsewhere).
extern const wchar_t kPathSep;
// Win32 error numbers that callers compare against on every platform.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
constexpr uint32_t kErrorDiskFull = 112;       // ERROR_DISK_FULL
constexpr uint32_t kErrorPathNotFound = 3;     // ERROR_PATH_NOT_FOUND
constexpr int kDriveFixed = 3;                 // DRIVE_FIXED
constexpr int kBusTypeUsb = 7;                 // BusTypeUsb

// ---- text conversions (pure, no substitution needed) ----------------------

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
// "ANSI" is the system code page on Windows and the locale's codeset on Linux.
// A character without an exact form there becomes '?', never a look-alike
// (Windows' best fit would turn a fullwidth solidus into "/").
std::string WideToAnsi(const std::wstring& text);
// The text in the ANSI code page only when every character has its exact
// form there; false otherwise. For a path or an address, which a '?' or a
// look-alike would turn into another one.
bool WideToAnsiExact(const std::wstring& text, std::string* ansi);
std::wstring AnsiToWide(const std::string& text);
// The strings of a multi-string block (REG_MULTI_SZ): NUL-separated, the
// NULs at its end dropped. Empty strings within it are kept (the list of
// pending renames has them).
std::vector<std::wstring> SplitMultiString(const std::wstring& block);

// ---- substitutable system queries ------------------------------------------

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// What the OS reports about its own version; each backend fills what it can.
struct OsVersionInfo {
  bool ntNumbersKnown = false;  // RtlGetNtVersionNumbers answered
  unsigned ntMajor = 0, ntMinor = 0, ntBuild = 0;
  bool versionExKnown = false;  // GetVersionExW answered
  unsigned major = 0, minor = 0;
  unsigned platformId = 2;      // VER_PLATFORM_WIN32_NT
  bool workstation = true;      // wProductType == VER_NT_WORKSTATION
  unsigned processorArchitecture = 0;
  bool serverR2 = false;        // GetSystemMetrics(SM_SERVERR2) != 0
  std::wstring currentBuild;    // registry "CurrentBuild"/"CurrentBuildNumber"
  std::string linuxName;        // posix: PRETTY_NAME of os-release
};

// How a web page reached the browser (ISystem::OpenWebPage).
enum class WebPageOpened {
  kNot,           // nothing took it
  kAsUser,        // the desktop shell opened it, as the signed-in user
  kWithOwnRights  // the desktop shell was out of reach: opened from this process
};

struct ScreenInfo {
  int width = 0, height = 0;
  int monitorWidth = 0;  // width of the monitor rectangle (for the scale)
};

class ISystem {
 public:
  virtual ~ISystem() = default;

  // Process and environment.
  virtual std::wstring ModulePath() = 0;  // full path of the running program
  // Empty with *found=false when the variable is not set.
  virtual std::wstring GetEnv(const std::wstring& name, bool* found = nullptr) = 0;
  virtual LocalTime Now() = 0;     // local time
  virtual LocalTime UtcNow() = 0;  // UTC
  virtual bool IsWow64() = 0;      // 32-bit program on a 64-bit system

  // Language and region.
  virtual uint16_t UserDefaultUILanguage() = 0;  // Windows LANGID
  virtual std::wstring SystemRegion() = 0;       // ISO 3166 two letters

  // OS version.
  virtual OsVersionInfo OsVersion() = 0;

  // Drives. Roots are "C:\\" on Windows and mount points ending in "/" on Linux.
  virtual std::vector<std::wstring> LogicalDrives() = 0;
  virtual int DriveType(const std::wstring& root) = 0;  // kDriveFixed, ...
  virtual int BusType(const std::wstring& root) = 0;    // 0 when unknown
  // False when the volume cannot be queried; else *seekPenalty is set.
  virtual bool SeekPenalty(const std::wstring& root, bool* seekPenalty) = 0;
  virtual bool FreeBytesAvailable(const std::wstring& root, uint64_t* bytes) = 0;
  virtual std::wstring SystemVolumeGuid() = 0;  // without braces, or empty

  // Screen.
  virtual bool Screen(ScreenInfo* info) = 0;

  // Machine-wide string store (HKEY_LOCAL_MACHINE on Windows, a file-backed
  // store under the user's data folder on Linux).
  virtual bool RegReadString(const std::wstring& key, const std::wstring& name,
                             std::wstring* value) = 0;
  virtual bool RegWriteString(const std::wstring& key, const std::wstring& name,
                              const std::wstring& value) = 0;
  // A multi-string value (REG_MULTI_SZ); false when it cannot be read.
  virtual bool RegReadMultiString(const std::wstring& key, const std::wstring& name,
                                  std::vector<std::wstring>* values) = 0;
  // True when the machine-wide key can be opened with full access (posix:
  // when the store holds the key or a key beneath it).
  virtual bool RegKeyOpens(const std::wstring& key) = 0;
  // The current user's string store (HKEY_CURRENT_USER on Windows, a file of
  // its own beside the machine-wide store on Linux).
  virtual bool RegWriteUserString(const std::wstring& key, const std::wstring& name,
                                  const std::wstring& value) = 0;

  // Opens a file or program as the shell does (ShellExecuteW "open",
  // SW_SHOWNORMAL or SW_HIDE); true when the shell reports success. A bare
  // program name is one of Windows' own ("explorer.exe"), started from the
  // Windows folder and never looked for elsewhere. posix: "explorer.exe"
  // with "/e, path" or "/select, path" starts the program or opens the
  // folder it names; any other file is started detached with the
  // blank-separated parameters.
  virtual bool ShellOpen(const std::wstring& file, const std::wstring& parameters, bool show) = 0;

  // Opens a web page (an address FuntionImpl::OpenWebLink has checked) in
  // the user's browser. The browser must not inherit this process's
  // rights: on Windows the page goes to the desktop shell (Explorer's
  // IShellDispatch2::ShellExecute), which runs as the user who signed in;
  // only when the shell is out of reach is it opened from here. posix: the
  // desktop's opener (xdg-open).
  virtual WebPageOpened OpenWebPage(const std::wstring& url) = 0;

  // Starts a copy of this program with the parameters, shown or hidden,
  // from the program file held since start-up (HoldOwnProgram), so that the
  // copy is the file this process was started from. False, with nothing
  // started, when the file is not held or the copy does not start.
  virtual bool StartOwnCopy(const std::wstring& parameters, bool show);
};

// The process-wide system object (the real backend unless a test swapped it).
ISystem& System();
// Installs a substitute and returns the previous one; nullptr restores the
// real backend. Not thread-safe: tests call it before starting threads.
ISystem* SetSystem(ISystem* replacement);
// The real backend, for substitutes that only override a few queries.
ISystem& RealSystem();

// ---- files and folders ----------------------------------------------------

// The user's application-data folder, read through System().GetEnv: APPDATA
// (empty when longer than 259 characters) on Windows; elsewhere $APPDATA when
// set, else the XDG data folder ($XDG_DATA_HOME, or $HOME/.local/share).
// Empty when none is known.
std::wstring AppDataFolder();
// The folder programs are installed in: CSIDL_PROGRAM_FILES on Windows,
// "/opt" elsewhere; empty when the system does not say.
std::wstring ProgramFilesFolder();
bool FileExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
// CreateDirectoryW: returns the Win32-style last error (0, 183, 112, ...).
// No link along the path is followed (as for the files of Process.h): a
// link there fails with kErrorLinkRefused (1921).
uint32_t CreateOneDirectory(const std::wstring& path);

// Folders that only this program may change. "Us" is the program's owner:
// on Windows Administrators, SYSTEM and the owner the process gives its new
// objects (when that is not Administrators, as in a process that is not
// elevated, also its user); on posix the effective user.
enum class FolderState {
  kPrivate,         // a folder owned by us that nobody else may change
  kMissing,
  kLink,            // a link (or reparse point) in its place or on its path
  kForeignOwner,    // owned by somebody else
  kOthersMayWrite,  // somebody else may write to it, or to what it will hold
  kNotAFolder,
  kUnreadable,      // cannot be examined
};
// Examines the folder without following a link.
FolderState CheckPrivateFolder(const std::wstring& path);
// Creates one folder that only we may change: on Windows with a protected
// DACL (nothing inherited) granting full control to Administrators and
// SYSTEM alone, to the folder and everything it will hold; on posix with
// mode 0700. Errors as CreateOneDirectory (183 when the name exists: what
// is there then is not changed).
uint32_t CreatePrivateFolder(const std::wstring& path);
// Removes an empty folder, or a link in the place of one (the link, never
// its target). False when there is something else or it cannot be removed.
bool RemoveFolderOrLink(const std::wstring& path);
// Names in a folder (without "." and ".."), in the system's enumeration order.
struct DirEntry {
  std::wstring name;
  bool isDirectory = false;
};
std::vector<DirEntry> ListDirectory(const std::wstring& folder);
// Lets the user choose a folder (SHBrowseForFolderW over the foreground
// window, file-system folders only, with an edit box); false when the
// dialog was cancelled. posix: no dialog, always cancelled.
bool BrowseForFolder(std::wstring* folder);

// INI files: GetPrivateProfileIntW / GetPrivateProfileStringW semantics.
int IniReadInt(const std::wstring& file, const std::wstring& section,
               const std::wstring& key, int defaultValue);
std::wstring IniReadString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& defaultValue);

// ---- resources of the program ---------------------------------------------

// Bytes of the resource (type, integer id) in the program's own module, or
// false when it is absent. The memory lives as long as the process.
bool LoadModuleResource(const wchar_t* type, int id, const void** data, size_t* size);

// Fixed file version of a file's version resource (major.minor.build.rev);
// false when the file has none. posix: a version note of our own ELF files.
struct FileVersion {
  uint16_t major = 0, minor = 0, build = 0, revision = 0;
};
bool ReadFileVersion(const std::wstring& path, FileVersion* version);
// "ProductName", "ProductVersion", "LegalCopyright", "FileDescription" of the
// first translation; empty texts when absent.
bool ReadFileVersionStrings(const std::wstring& path, std::wstring out[4]);

// ---- single instance ------------------------------------------------------

// A named mutex created with initial ownership (CreateMutexW(NULL, TRUE, n)).
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;  // closes the handle
  virtual void Release() = 0;       // ReleaseMutex
};
// *lastError is kErrorAlreadyExists when another process holds the name.
std::unique_ptr<NamedMutex> CreateOwnedMutex(const std::wstring& name, uint32_t* lastError);

// Finds a visible top-level window of the class (FindWindowW); when found,
// ShowWindow(SW_SHOW) and SwitchToThisWindow bring it forward if asked.
bool FindVisibleInstance(const std::wstring& className, bool bringForward);
// Advertises this process's main window class so that FindVisibleInstance
// of another process sees it (posix only; on Windows the window does it).
void AdvertiseInstance(const std::wstring& className);

// ---- COM and firewall -----------------------------------------------------

// CoInitialize(NULL); false when it fails. posix: always true.
bool ComInitialize();
void ComUninitialize();
// Adds the image to the firewall's authorised applications (INetFwMgr).
// 0 when the firewall profile was reached, -1 otherwise (with a printed reason).
int WindowsFirewallAuthorize(const wchar_t* imagePath);
// Removes the image's entry from the authorised applications again: a
// permanent rule for a file in the Downloads folder would let whatever is
// put there later through. 0 when the profile was reached (whether or not
// an entry was there), -1 otherwise (with a printed reason).
int WindowsFirewallRevoke(const wchar_t* imagePath);

}  // namespace platform
