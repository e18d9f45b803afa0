// A test double of the platform's system queries (platform::ISystem).
//
// Every query forwards to platform::RealSystem() until a test sets a value
// for it; then the set value answers. Typical use:
//
//   FakeSystem fake;
//   fake.AddDrive(L"C:\\", 10ull << 30);                 // fixed, not USB
//   fake.AddDrive(L"E:\\", 2000ull << 30).bus = platform::kBusTypeUsb;
//   fake.SetLanguage(0x0C0A);
//   FakeSystemGuard guard(fake);   // installs with SetSystem, restores on exit
//   ... code under test calls platform::System() ...
//
// Overridable: module path, environment variables (set or explicitly unset),
// local and UTC clock, WOW64, UI language, region, OS version, drives (root,
// type, bus, seek penalty, free space, each "readable" or not), system volume
// GUID, screen, and an in-memory registry with a current-user store beside
// it (case-insensitive keys and names, like the Windows registry; a
// multi-string is stored as its NUL-separated block). Setters may be called while the fake is
// installed; a mutex makes the fake safe to query from several threads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

class FakeSystem : public platform::ISystem {
 public:
  // One drive of the fake machine.
  struct Drive {
    std::wstring root;                       // "C:\\" or a mount point "/data/"
    int type = platform::kDriveFixed;        // GetDriveTypeW value
    int bus = 0;                             // bus type; 7 = USB
    bool seekPenaltyReadable = true;         // false: SeekPenalty() fails
    bool seekPenalty = true;                 // true: rotational (not an SSD)
    bool freeReadable = true;                // false: FreeBytesAvailable() fails
    uint64_t freeBytes = 0;
  };

  FakeSystem() = default;
  FakeSystem(const FakeSystem&) = delete;
  FakeSystem& operator=(const FakeSystem&) = delete;

  // ---- setters -------------------------------------------------------------

  void SetModulePath(const std::wstring& path) { Lock l(m_); modulePath_ = path; }
  void SetEnv(const std::wstring& name, const std::wstring& value) {
    Lock l(m_); env_[name] = value;
  }
  void UnsetEnv(const std::wstring& name) { Lock l(m_); env_[name] = std::nullopt; }
  // Both clocks; UtcNow answers `utc`, Now answers `local`.
  void SetClock(const platform::LocalTime& local, const platform::LocalTime& utc) {
    Lock l(m_); local_ = local; utc_ = utc;
  }
  void SetLocalTime(const platform::LocalTime& local) { Lock l(m_); local_ = local; }
  void SetUtcTime(const platform::LocalTime& utc) { Lock l(m_); utc_ = utc; }
  void SetWow64(bool wow64) { Lock l(m_); wow64_ = wow64; }
  void SetLanguage(uint16_t langId) { Lock l(m_); language_ = langId; }
  void SetRegion(const std::wstring& region) { Lock l(m_); region_ = region; }
  void SetOsVersion(const platform::OsVersionInfo& info) { Lock l(m_); os_ = info; }
  void SetVolumeGuid(const std::wstring& guid) { Lock l(m_); volumeGuid_ = guid; }
  // Screen(); `available` false makes Screen() fail.
  void SetScreen(const platform::ScreenInfo& info, bool available = true) {
    Lock l(m_); screen_ = info; screenAvailable_ = available;
  }

  // Drives: the first call replaces the real drive list by an empty one, so
  // that only the drives added here exist. Returns the new drive for tweaks
  // (the reference stays valid until the next AddDrive/ClearDrives).
  Drive& AddDrive(const std::wstring& root, uint64_t freeBytes,
                  int type = platform::kDriveFixed, int bus = 0,
                  bool seekPenalty = true) {
    Lock l(m_);
    if (!drives_) drives_.emplace();
    Drive d;
    d.root = root; d.freeBytes = freeBytes; d.type = type; d.bus = bus;
    d.seekPenalty = seekPenalty;
    drives_->push_back(d);
    return drives_->back();
  }
  void AddDrive(const Drive& drive) {
    Lock l(m_);
    if (!drives_) drives_.emplace();
    drives_->push_back(drive);
  }
  // A machine without drives (the drive list is overridden and empty).
  void ClearDrives() { Lock l(m_); drives_.emplace(); }
  // The real drives again.
  void UseRealDrives() { Lock l(m_); drives_.reset(); }
  // Direct access for tests that change a drive after adding it.
  Drive* FindDrive(const std::wstring& root) {
    Lock l(m_);
    return FindDriveLocked(root);
  }

  // Registry: the first use of any of these switches the fake to an
  // in-memory registry (empty unless values are put in it).
  void UseMemoryRegistry() { Lock l(m_); memoryRegistry_ = true; }
  void SetRegValue(const std::wstring& key, const std::wstring& name,
                   const std::wstring& value) {
    Lock l(m_); memoryRegistry_ = true; registry_[RegKey(key, name)] = value;
  }
  // A multi-string value: its strings, each followed by a NUL, as the
  // registry keeps them.
  void SetRegMultiString(const std::wstring& key, const std::wstring& name,
                         const std::vector<std::wstring>& strings) {
    std::wstring block;
    for (const std::wstring& text : strings) block += text + L'\0';
    SetRegValue(key, name, block);
  }
  bool HasRegValue(const std::wstring& key, const std::wstring& name) {
    Lock l(m_); return registry_.count(RegKey(key, name)) != 0;
  }
  std::wstring RegValue(const std::wstring& key, const std::wstring& name) {
    Lock l(m_);
    auto it = registry_.find(RegKey(key, name));
    return it == registry_.end() ? std::wstring() : it->second;
  }
  // The current user's store (RegWriteUserString), in memory with the other.
  std::wstring UserRegValue(const std::wstring& key, const std::wstring& name) {
    Lock l(m_);
    auto it = userRegistry_.find(RegKey(key, name));
    return it == userRegistry_.end() ? std::wstring() : it->second;
  }
  size_t UserRegValueCount() { Lock l(m_); return userRegistry_.size(); }
  size_t RegValueCount() { Lock l(m_); return registry_.size(); }
  // Makes RegWriteString fail (a read-only registry).
  void SetRegistryWritable(bool writable) { Lock l(m_); memoryRegistry_ = true; regWritable_ = writable; }

  // Shell opens are recorded, never performed; each answers `shellResult`.
  struct ShellOpenCall {
    std::wstring file, parameters;
    bool show;
  };
  std::vector<ShellOpenCall> ShellOpens() { Lock l(m_); return shellOpens_; }
  void SetShellOpenResult(bool result) { Lock l(m_); shellResult_ = result; }
  // Web pages and copies of the program are recorded alike, never opened
  // or started.
  std::vector<std::wstring> WebPages() { Lock l(m_); return webPages_; }
  void SetWebPageResult(platform::WebPageOpened result) { Lock l(m_); webPageResult_ = result; }
  std::vector<ShellOpenCall> OwnCopies() { Lock l(m_); return ownCopies_; }

  // ---- ISystem ---------------------------------------------------------------

  std::wstring ModulePath() override {
    { Lock l(m_); if (modulePath_) return *modulePath_; }
    return platform::RealSystem().ModulePath();
  }
  std::wstring GetEnv(const std::wstring& name, bool* found = nullptr) override {
    {
      Lock l(m_);
      auto it = env_.find(name);
      if (it != env_.end()) {
        if (found) *found = it->second.has_value();
        return it->second.value_or(std::wstring());
      }
    }
    return platform::RealSystem().GetEnv(name, found);
  }
  platform::LocalTime Now() override {
    { Lock l(m_); if (local_) return *local_; }
    return platform::RealSystem().Now();
  }
  platform::LocalTime UtcNow() override {
    { Lock l(m_); if (utc_) return *utc_; }
    return platform::RealSystem().UtcNow();
  }
  bool IsWow64() override {
    { Lock l(m_); if (wow64_) return *wow64_; }
    return platform::RealSystem().IsWow64();
  }
  uint16_t UserDefaultUILanguage() override {
    { Lock l(m_); if (language_) return *language_; }
    return platform::RealSystem().UserDefaultUILanguage();
  }
  std::wstring SystemRegion() override {
    { Lock l(m_); if (region_) return *region_; }
    return platform::RealSystem().SystemRegion();
  }
  platform::OsVersionInfo OsVersion() override {
    { Lock l(m_); if (os_) return *os_; }
    return platform::RealSystem().OsVersion();
  }
  std::vector<std::wstring> LogicalDrives() override {
    {
      Lock l(m_);
      if (drives_) {
        std::vector<std::wstring> roots;
        for (const Drive& d : *drives_) roots.push_back(d.root);
        return roots;
      }
    }
    return platform::RealSystem().LogicalDrives();
  }
  int DriveType(const std::wstring& root) override {
    {
      Lock l(m_);
      if (drives_) {
        const Drive* d = FindDriveLocked(root);
        return d ? d->type : 1;  // DRIVE_NO_ROOT_DIR
      }
    }
    return platform::RealSystem().DriveType(root);
  }
  int BusType(const std::wstring& root) override {
    {
      Lock l(m_);
      if (drives_) {
        const Drive* d = FindDriveLocked(root);
        return d ? d->bus : 0;
      }
    }
    return platform::RealSystem().BusType(root);
  }
  bool SeekPenalty(const std::wstring& root, bool* seekPenalty) override {
    {
      Lock l(m_);
      if (drives_) {
        const Drive* d = FindDriveLocked(root);
        if (!d || !d->seekPenaltyReadable) return false;
        if (seekPenalty) *seekPenalty = d->seekPenalty;
        return true;
      }
    }
    return platform::RealSystem().SeekPenalty(root, seekPenalty);
  }
  bool FreeBytesAvailable(const std::wstring& root, uint64_t* bytes) override {
    {
      Lock l(m_);
      if (drives_) {
        // A path on a drive counts as that drive (GetDiskFreeSpaceExW accepts
        // any folder): the longest root that prefixes the argument answers.
        const Drive* d = FindDriveForPathLocked(root);
        if (!d || !d->freeReadable) return false;
        if (bytes) *bytes = d->freeBytes;
        return true;
      }
    }
    return platform::RealSystem().FreeBytesAvailable(root, bytes);
  }
  std::wstring SystemVolumeGuid() override {
    { Lock l(m_); if (volumeGuid_) return *volumeGuid_; }
    return platform::RealSystem().SystemVolumeGuid();
  }
  bool Screen(platform::ScreenInfo* info) override {
    {
      Lock l(m_);
      if (screen_) {
        if (!screenAvailable_) return false;
        if (info) *info = *screen_;
        return true;
      }
    }
    return platform::RealSystem().Screen(info);
  }
  bool RegReadString(const std::wstring& key, const std::wstring& name,
                     std::wstring* value) override {
    {
      Lock l(m_);
      if (memoryRegistry_) {
        auto it = registry_.find(RegKey(key, name));
        if (it == registry_.end()) return false;
        if (value) *value = it->second;
        return true;
      }
    }
    return platform::RealSystem().RegReadString(key, name, value);
  }
  bool RegWriteString(const std::wstring& key, const std::wstring& name,
                      const std::wstring& value) override {
    {
      Lock l(m_);
      if (memoryRegistry_) {
        if (!regWritable_) return false;
        registry_[RegKey(key, name)] = value;
        return true;
      }
    }
    return platform::RealSystem().RegWriteString(key, name, value);
  }
  bool RegReadMultiString(const std::wstring& key, const std::wstring& name,
                          std::vector<std::wstring>* values) override {
    {
      Lock l(m_);
      if (memoryRegistry_) {
        auto it = registry_.find(RegKey(key, name));
        if (it == registry_.end()) return false;
        if (values) *values = platform::SplitMultiString(it->second);
        return true;
      }
    }
    return platform::RealSystem().RegReadMultiString(key, name, values);
  }
  // A key opens when a value lies in it or beneath it.
  bool RegKeyOpens(const std::wstring& key) override {
    {
      Lock l(m_);
      if (memoryRegistry_) {
        const std::wstring lower = Lower(key);
        for (const auto& entry : registry_) {
          const std::wstring& k = entry.first.first;
          if (k == lower || (k.size() > lower.size() && k.compare(0, lower.size(), lower) == 0 &&
                             k[lower.size()] == L'\\'))
            return true;
        }
        return false;
      }
    }
    return platform::RealSystem().RegKeyOpens(key);
  }
  bool RegWriteUserString(const std::wstring& key, const std::wstring& name,
                          const std::wstring& value) override {
    {
      Lock l(m_);
      if (memoryRegistry_) {
        if (!regWritable_) return false;
        userRegistry_[RegKey(key, name)] = value;
        return true;
      }
    }
    return platform::RealSystem().RegWriteUserString(key, name, value);
  }
  bool ShellOpen(const std::wstring& file, const std::wstring& parameters, bool show) override {
    Lock l(m_);
    shellOpens_.push_back({file, parameters, show});
    return shellResult_;
  }
  platform::WebPageOpened OpenWebPage(const std::wstring& url) override {
    Lock l(m_);
    webPages_.push_back(url);
    return webPageResult_;
  }
  bool StartOwnCopy(const std::wstring& parameters, bool show) override {
    Lock l(m_);
    ownCopies_.push_back({ModulePath(), parameters, show});
    return true;
  }

 private:
  using Lock = std::lock_guard<std::recursive_mutex>;

  static std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
  }
  static std::pair<std::wstring, std::wstring> RegKey(const std::wstring& key,
                                                      const std::wstring& name) {
    return {Lower(key), Lower(name)};
  }
  // Exact root first, then a case-insensitive match ("c:\\" is "C:\\").
  Drive* FindDriveLocked(const std::wstring& root) {
    if (!drives_) return nullptr;
    for (Drive& d : *drives_)
      if (d.root == root) return &d;
    for (Drive& d : *drives_)
      if (Lower(d.root) == Lower(root)) return &d;
    return nullptr;
  }
  Drive* FindDriveForPathLocked(const std::wstring& path) {
    if (Drive* d = FindDriveLocked(path)) return d;
    if (!drives_) return nullptr;
    Drive* best = nullptr;
    const std::wstring lowerPath = Lower(path);
    for (Drive& d : *drives_) {
      const std::wstring lowerRoot = Lower(d.root);
      if (lowerRoot.empty() || lowerPath.compare(0, lowerRoot.size(), lowerRoot) != 0) continue;
      if (!best || d.root.size() > best->root.size()) best = &d;
    }
    // "C:" (two characters, as the install-path check passes) names the drive "C:\\".
    if (!best && path.size() == 2 && path[1] == L':') return FindDriveLocked(path + L"\\");
    return best;
  }

  std::recursive_mutex m_;
  std::optional<std::wstring> modulePath_;
  std::map<std::wstring, std::optional<std::wstring>> env_;
  std::optional<platform::LocalTime> local_, utc_;
  std::optional<bool> wow64_;
  std::optional<uint16_t> language_;
  std::optional<std::wstring> region_;
  std::optional<platform::OsVersionInfo> os_;
  std::optional<std::vector<Drive>> drives_;
  std::optional<std::wstring> volumeGuid_;
  std::optional<platform::ScreenInfo> screen_;
  bool screenAvailable_ = true;
  bool memoryRegistry_ = false;
  bool regWritable_ = true;
  std::vector<ShellOpenCall> shellOpens_;
  std::vector<std::wstring> webPages_;
  platform::WebPageOpened webPageResult_ = platform::WebPageOpened::kAsUser;
  std::vector<ShellOpenCall> ownCopies_;
  bool shellResult_ = true;
  std::map<std::pair<std::wstring, std::wstring>, std::wstring> registry_;
  std::map<std::pair<std::wstring, std::wstring>, std::wstring> userRegistry_;
};

// Installs a substitute system object with platform::SetSystem for the
// guard's lifetime and restores the previous one on destruction.
class FakeSystemGuard {
 public:
  explicit FakeSystemGuard(platform::ISystem& replacement)
      : previous_(platform::SetSystem(&replacement)) {}
  ~FakeSystemGuard() { platform::SetSystem(previous_); }
  FakeSystemGuard(const FakeSystemGuard&) = delete;
  FakeSystemGuard& operator=(const FakeSystemGuard&) = delete;

 private:
  platform::ISystem* previous_;
};
