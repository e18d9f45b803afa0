// posix backend: drives are the mounted local block devices.
//
// - the drive list: /proc/self/mounts (or SETUP_MOUNT_TABLE's file) entries
//   whose device lies under /dev/,
//   deduplicated by device (first mount wins), in mount-table order; a
//   drive's root is its mount point followed by "/" ("/" for the root);
// - drive type: DRIVE_FIXED (3) when the disk's sysfs "removable" is 0 or
//   cannot be read (no sysfs in some containers), else DRIVE_REMOVABLE (2);
// - bus type: 7 (USB) when the device's resolved sysfs path has a component
//   beginning with "usb"; else 17 (NVMe) for "nvme", 12 (SD) for "mmc", 11
//   (SATA) for "ata"; 0 when unknown;
// - seek penalty: sysfs queue/rotational of the (parent) disk;
// - free space: statvfs f_bavail * f_frsize (what the caller may use).
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/TrimmedText.h"
#include "platform/Platform.h"
#include "base/AsciiText.h"
#include "platform/posix/PosixInternal.h"

namespace platform {
namespace posix {

namespace {

std::string DecodeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
        field[i + 1] <= '7' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
        field[i + 3] >= '0' && field[i + 3] <= '7') {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

// A mount table, or a one-value file of sysfs or systemd: empty when
// unreadable.
std::string FileText(const std::string& path) {
  std::string text;
  ReadWholeFile(path, &text);
  return text;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string RootOfMountPoint(const std::string& mountPoint) {
  if (!mountPoint.empty() && mountPoint.back() == '/') return mountPoint;
  return mountPoint + "/";
}

// The whole disk of a (partition) sysfs path.
std::string DiskOf(const std::string& sysfs) {
  if (sysfs.empty()) return sysfs;
  if (Exists(sysfs + "/partition")) {
    size_t slash = sysfs.rfind('/');
    if (slash != std::string::npos) return sysfs.substr(0, slash);
  }
  return sysfs;
}

// For stacked devices (device mapper, md): the first underlying device.
std::string FirstSlave(const std::string& disk) {
  DIR* dir = opendir((disk + "/slaves").c_str());
  if (!dir) return std::string();
  std::string result;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    result = RealPath(disk + "/slaves/" + entry->d_name);
    if (!result.empty()) break;
  }
  closedir(dir);
  return result;
}

// The disk that carries the facts: partition -> disk, stacked -> first
// underlying disk (up to a few levels).
std::string PhysicalDisk(const std::string& sysfs) {
  std::string disk = DiskOf(sysfs);
  for (int depth = 0; depth < 8 && !disk.empty(); ++depth) {
    std::string slave = FirstSlave(disk);
    if (slave.empty()) break;
    disk = DiskOf(slave);
  }
  return disk;
}

bool HasComponentStartingWith(const std::string& path, const char* prefix) {
  const std::string needle = std::string("/") + prefix;
  return path.find(needle) != std::string::npos;
}

}  // namespace

std::string NativePath(const std::wstring& path) {
  std::string native = WideToUtf8(path);
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

std::vector<MountEntry> ParseMountTable(const std::string& content) {
  std::vector<MountEntry> mounts;
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    MountEntry entry;
    if (!(fields >> entry.device >> entry.mountPoint >> entry.fsType)) continue;
    entry.device = DecodeMountField(entry.device);
    entry.mountPoint = DecodeMountField(entry.mountPoint);
    entry.fsType = DecodeMountField(entry.fsType);
    mounts.push_back(entry);
  }
  return mounts;
}

std::vector<BlockDrive> BlockDrivesFrom(const std::vector<MountEntry>& mounts) {
  std::vector<BlockDrive> drives;
  std::vector<std::string> seen;
  for (const MountEntry& mount : mounts) {
    if (mount.device.compare(0, 5, "/dev/") != 0 || mount.mountPoint.empty() ||
        mount.mountPoint[0] != '/')
      continue;
    BlockDrive drive;
    drive.device = mount.device;
    drive.root = RootOfMountPoint(mount.mountPoint);
    // The device node when it exists (resolving /dev/mapper links), else
    // the device number of the mounted filesystem.
    std::string identity = RealPath(mount.device);
    struct stat st;
    if (!identity.empty() && stat(identity.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
      drive.number = st.st_rdev;
    } else {
      if (identity.empty()) identity = mount.device;
      if (stat(mount.mountPoint.c_str(), &st) == 0) drive.number = st.st_dev;
    }
    bool duplicate = false;
    for (const std::string& s : seen) duplicate = duplicate || s == identity;
    if (duplicate) continue;
    seen.push_back(identity);
    if (drive.number != 0) {
      char link[64];
      std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(drive.number),
                    minor(drive.number));
      drive.sysfs = RealPath(link);
    }
    drives.push_back(drive);
  }
  return drives;
}

// The Linux build is the test bed: SETUP_MOUNT_TABLE lets the demo and the
// tests give a whole process tree (Setup, the copies it starts) a drive of
// their own folder, so that nothing lands at the machine's drive roots.
std::vector<BlockDrive> MountedBlockDrives() {
  const char* table = std::getenv("SETUP_MOUNT_TABLE");
  return BlockDrivesFrom(ParseMountTable(FileText(table && *table ? table : "/proc/self/mounts")));
}

bool FindBlockDrive(const std::string& root, BlockDrive* drive) {
  if (root.empty() || root[0] != '/') return false;
  const std::string wanted = RootOfMountPoint(root);
  for (const BlockDrive& d : MountedBlockDrives()) {
    if (d.root == wanted) {
      if (drive) *drive = d;
      return true;
    }
  }
  return false;
}

int DriveTypeOf(const BlockDrive& drive) {
  const std::string disk = DiskOf(drive.sysfs);
  if (disk.empty()) return kDriveFixed;
  const std::string removable = TrimBlanks(FileText(disk + "/removable"));
  if (removable.empty() || removable == "0") return kDriveFixed;
  return 2;  // DRIVE_REMOVABLE
}

int BusTypeOf(const BlockDrive& drive) {
  if (drive.sysfs.empty()) return 0;
  const std::string physical = PhysicalDisk(drive.sysfs);
  for (const std::string& path : {drive.sysfs, physical}) {
    if (HasComponentStartingWith(path, "usb")) return kBusTypeUsb;
  }
  if (HasComponentStartingWith(physical, "nvme")) return 17;  // BusTypeNvme
  if (HasComponentStartingWith(physical, "mmc")) return 12;   // BusTypeSd
  if (HasComponentStartingWith(physical, "ata")) return 11;   // BusTypeSata
  return 0;
}

bool RotationalOf(const BlockDrive& drive, bool* rotational) {
  if (drive.sysfs.empty()) return false;
  // The device's own queue answers first (device mapper has one), then the
  // parent disk's, then the underlying disk's.
  for (const std::string& disk : {DiskOf(drive.sysfs), PhysicalDisk(drive.sysfs)}) {
    const std::string value = TrimBlanks(FileText(disk + "/queue/rotational"));
    if (value == "0" || value == "1") {
      if (rotational) *rotational = value == "1";
      return true;
    }
  }
  return false;
}

namespace {

std::string FormatUuid(const unsigned char u[16]);
bool AllZero(const unsigned char* u, size_t n);

// ext2/3/4 superblock UUID of a device node (needs read access to it).
std::string ExtSuperblockUuid(const std::string& device) {
  int fd = open(device.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  unsigned char sb[1024];
  ssize_t n = pread(fd, sb, sizeof sb, 1024);
  close(fd);
  if (n != static_cast<ssize_t>(sizeof sb)) return std::string();
  if (sb[0x38] != 0x53 || sb[0x39] != 0xEF) return std::string();  // EXT2_SUPER_MAGIC
  if (AllZero(sb + 0x68, 16)) return std::string();
  return FormatUuid(sb + 0x68);
}

std::string FormatUuid(const unsigned char u[16]) {
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", u[0],
                u[1], u[2], u[3], u[4], u[5], u[6], u[7], u[8], u[9], u[10], u[11], u[12],
                u[13], u[14], u[15]);
  return text;
}

bool AllZero(const unsigned char* u, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (u[i] != 0) return false;
  return true;
}

// FS_IOC_GETFSUUID (Linux 6.5 and later): the mounted filesystem's UUID,
// without access to the device node.
std::string MountedFilesystemUuid(const char* mountPoint) {
  struct FsUuid2 {
    uint8_t len;
    uint8_t uuid[16];
  };
  const unsigned long kGetFsUuid = _IOR(0x15, 0, FsUuid2);
  int fd = open(mountPoint, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::string();
  FsUuid2 value;
  std::memset(&value, 0, sizeof value);
  const int rc = ioctl(fd, kGetFsUuid, &value);
  close(fd);
  if (rc != 0 || value.len != 16 || AllZero(value.uuid, 16)) return std::string();
  return FormatUuid(value.uuid);
}

// The machine id of systemd / D-Bus (32 hexadecimal digits) in GUID form.
std::string MachineIdAsGuid() {
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    const std::string id = TrimBlanks(FileText(path));
    if (id.size() != 32) continue;
    unsigned char bytes[16];
    bool ok = true;
    for (size_t i = 0; i < 16 && ok; ++i) {
      unsigned value = 0;
      ok = std::sscanf(id.c_str() + 2 * i, "%2x", &value) == 1;
      bytes[i] = static_cast<unsigned char>(value);
    }
    if (ok && !AllZero(bytes, 16)) return FormatUuid(bytes);
  }
  return std::string();
}

}  // namespace

std::string RootFilesystemUuid() {
  struct stat rootStat;
  if (stat("/", &rootStat) != 0) return std::string();
  // The device mounted at "/" (the last mount of "/" is the visible one).
  std::string rootDevice;
  for (const MountEntry& m : ParseMountTable(FileText("/proc/self/mounts")))
    if (m.mountPoint == "/" && m.device.compare(0, 5, "/dev/") == 0) rootDevice = m.device;
  const std::string rootDeviceReal = rootDevice.empty() ? std::string() : RealPath(rootDevice);

  // 1. /dev/disk/by-uuid: the link whose device is the root filesystem's.
  if (DIR* dir = opendir("/dev/disk/by-uuid")) {
    std::string found;
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const std::string link = std::string("/dev/disk/by-uuid/") + entry->d_name;
      struct stat st;
      bool match = stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
                   st.st_rdev == rootStat.st_dev;
      if (!match && !rootDeviceReal.empty()) match = RealPath(link) == rootDeviceReal;
      if (match) {
        found = entry->d_name;
        break;
      }
    }
    closedir(dir);
    if (!found.empty()) return AsciiLower(found);
  }
  // 2. Without udev's links (containers, minimal systems): the UUID the
  //    kernel reports for the mounted root filesystem.
  std::string uuid = MountedFilesystemUuid("/");
  if (!uuid.empty()) return uuid;
  // 3. The ext superblock of the root device, when it can be read.
  if (!rootDeviceReal.empty()) uuid = ExtSuperblockUuid(rootDeviceReal);
  if (!uuid.empty()) return uuid;
  // 4. A root filesystem without a UUID (or none that can be read): the
  //    machine id stands in, so that the machine still has an identifier.
  return MachineIdAsGuid();
}

}  // namespace posix
}  // namespace platform
