// posix backend: helpers shared by the backend's files (and its tests).
#pragma once

#include <sys/types.h>

#include <cstdint>

#include <string>
#include <vector>

namespace platform {
namespace posix {

// The Win32 error number that stands for an errno value (5 for EACCES, 32
// for ETXTBSY, 193 for ENOEXEC, ...); other values pass unchanged.
uint32_t Win32ErrorOf(int error);

// A wide path of the platform layer as a native path: UTF-8, with "\\" read
// as a folder separator (portable callers may build Windows-style paths).
std::string NativePath(const std::wstring& path);

// The bytes of the file at a native path; false (then *content is empty) for
// a folder or a file that cannot be opened or read to its end.
bool ReadWholeFile(const std::string& path, std::string* content);

// ---- paths without links -------------------------------------------------------

// Files are reached without following a symbolic link: a path is walked
// folder by folder from "/" (or from the working folder for a relative
// path) with openat(O_NOFOLLOW), so that no link along it, and no link
// swapped in while it is walked, leads elsewhere. "." and empty names are
// skipped; a ".." is refused (EINVAL). Each returns -1 with errno set (ELOOP
// for a link) on failure; descriptors are close-on-exec.
//
// The folder itself (an O_PATH descriptor).
int OpenFolderNoFollow(const std::string& path);
// The folder that holds the path's last name, and that name.
int OpenParentNoFollow(const std::string& path, std::string* name);
// The file itself, opened with `flags` (O_CREAT and O_TRUNC as open(2)
// knows them; O_NOFOLLOW is added). Only a regular file is opened (EINVAL
// otherwise, and a FIFO never blocks the open); one opened for writing must
// have a single name (EMLINK for a hard link), and it is emptied only after
// that check.
int OpenNoFollow(const std::string& path, int flags, mode_t mode);

// Starts `program` (a path, or a name looked up in PATH) with `arguments`,
// detached, in `folder` (empty: the caller's) and with its standard streams
// on /dev/null; false, with the errno of what failed in *error when asked,
// when it cannot be started.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder = std::string(), int* error = nullptr);

// The blank-separated words of a parameter text (UTF-8), as the shell's
// open hands them to a program.
std::vector<std::string> BlankSeparatedWords(const std::wstring& parameters);

// The words of a Windows-style command line as CommandLineToArgvW splits
// them: the first (the program) ends at its closing quotation mark or at a
// blank; in the others 2n backslashes before a quotation mark give n and
// the mark quotes, 2n+1 give n and a literal mark, and "" within quotes is
// a literal mark.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// The arguments of a Windows command line as an Inno Setup installer reads
// them: blank-separated words; quotation marks group blanks into a word and
// are dropped; a backslash is an ordinary character. (CommandLineToArgvW's
// rules would take the \" that ends /DIR="folder\" for a literal quotation
// mark and run the folder into the next switches.)
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// ---- mounted drives -----------------------------------------------------------

struct MountEntry {
  std::string device, mountPoint, fsType;  // octal escapes (\040) decoded
};
// Lines of /proc/self/mounts (or of any text in that format).
std::vector<MountEntry> ParseMountTable(const std::string& content);

struct BlockDrive {
  std::string device;  // "/dev/vda1" (as in the mount table)
  std::string root;    // mount point ending in "/"
  dev_t number = 0;    // device number (0 when unknown)
  std::string sysfs;   // resolved /sys/dev/block/MAJ:MIN, or empty
};
// The mounted local block devices: device under /dev/, first mount of each
// device (deduplicated by device), in mount-table order.
std::vector<BlockDrive> BlockDrivesFrom(const std::vector<MountEntry>& mounts);
// From /proc/self/mounts, or from the file the environment variable
// SETUP_MOUNT_TABLE names (a table of the same form, for the demo and tests).
std::vector<BlockDrive> MountedBlockDrives();
// The drive whose root is `root` ("/data/" or "/data"); false when none.
bool FindBlockDrive(const std::string& root, BlockDrive* drive);

// sysfs facts of a drive (the parent disk for a partition; the first
// underlying device for device-mapper or md devices).
int DriveTypeOf(const BlockDrive& drive);                // 3 fixed, 2 removable
int BusTypeOf(const BlockDrive& drive);                  // 7 USB, 17 NVMe, ..., 0
bool RotationalOf(const BlockDrive& drive, bool* rotational);

// The system volume's identifier, lower case 8-4-4-4-12: the UUID of the
// root filesystem's device from /dev/disk/by-uuid; without those links, the
// UUID the kernel reports for the mounted root (FS_IOC_GETFSUUID), or the ext
// superblock of the root device when it can be read; when the root
// filesystem has no readable UUID at all, the machine id (/etc/machine-id)
// in GUID form, so that the machine still has a stable identifier. Empty
// when none of these exists.
std::string RootFilesystemUuid();

}  // namespace posix
}  // namespace platform
