// posix backend: files, folders and INI files.
// Paths are UTF-8 on disk; "\\" in a path is read as a folder separator.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"

namespace platform {

namespace {

// errno of mkdir as the Win32 error CreateDirectoryW would report.
uint32_t Win32ErrorOfMkdir(int error) {
  switch (error) {
    case EEXIST: return kErrorAlreadyExists;  // 183
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;       // 112
    case ENOENT:
    case ENOTDIR: return kErrorPathNotFound;  // 3
    case EACCES:
    case EPERM:
    case EROFS: return 5;                     // ERROR_ACCESS_DENIED
    case ENAMETOOLONG: return 206;            // ERROR_FILENAME_EXCED_RANGE
    case EINVAL: return 123;                  // ERROR_INVALID_NAME
    case ELOOP: return 1921;                  // ERROR_CANT_RESOLVE_FILENAME
    case ENOMEM: return 8;                    // ERROR_NOT_ENOUGH_MEMORY
    case EIO: return 1117;                    // ERROR_IO_DEVICE
    default: return 31;                       // ERROR_GEN_FAILURE
  }
}

}  // namespace

// Like GetFileAttributesW != INVALID_FILE_ATTRIBUTES: files and folders.
bool FileExists(const std::wstring& path) {
  struct stat st;
  return !path.empty() && stat(posix::NativePath(path).c_str(), &st) == 0;
}

bool IsDirectory(const std::wstring& path) {
  struct stat st;
  return !path.empty() && stat(posix::NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

uint32_t MakeFolder(const std::wstring& path, mode_t mode) {
  std::string name;
  const int parent = path.empty() ? -1 : posix::OpenParentNoFollow(posix::NativePath(path), &name);
  if (parent < 0) return path.empty() ? kErrorPathNotFound : Win32ErrorOfMkdir(errno);
  const uint32_t result = mkdirat(parent, name.c_str(), mode) == 0 ? kErrorSuccess : Win32ErrorOfMkdir(errno);
  close(parent);
  return result;
}

}  // namespace

uint32_t CreateOneDirectory(const std::wstring& path) { return MakeFolder(path, 0777); }

uint32_t CreatePrivateFolder(const std::wstring& path) { return MakeFolder(path, 0700); }

FolderState CheckPrivateFolder(const std::wstring& path) {
  std::string name;
  const int parent = posix::OpenParentNoFollow(posix::NativePath(path), &name);
  struct stat info;
  const bool examined = parent >= 0 && fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
  const int error = errno;
  if (parent >= 0) close(parent);
  if (!examined) return error == ENOENT ? FolderState::kMissing : error == ELOOP ? FolderState::kLink
                                                                                 : FolderState::kUnreadable;
  if (S_ISLNK(info.st_mode)) return FolderState::kLink;
  if (!S_ISDIR(info.st_mode)) return FolderState::kNotAFolder;
  if (info.st_uid != geteuid()) return FolderState::kForeignOwner;
  if (info.st_mode & (S_IWGRP | S_IWOTH)) return FolderState::kOthersMayWrite;
  return FolderState::kPrivate;
}

bool RemoveFolderOrLink(const std::wstring& path) {
  std::string name;
  const int parent = posix::OpenParentNoFollow(posix::NativePath(path), &name);
  if (parent < 0) return false;
  struct stat info;
  bool removed = false;
  if (fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && (S_ISLNK(info.st_mode) || S_ISDIR(info.st_mode)))
    removed = unlinkat(parent, name.c_str(), S_ISDIR(info.st_mode) ? AT_REMOVEDIR : 0) == 0;
  close(parent);
  return removed;
}

// readdir order; symbolic links count as what they point to.
std::vector<DirEntry> ListDirectory(const std::wstring& folder) {
  std::vector<DirEntry> entries;
  std::string native = posix::NativePath(folder);
  if (native.empty()) native = ".";
  DIR* dir = opendir(native.c_str());
  if (!dir) return entries;
  const std::string prefix = native.back() == '/' ? native : native + "/";
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = Utf8ToWide(name);
    if (e->d_type == DT_DIR) {
      entry.isDirectory = true;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      entry.isDirectory = stat((prefix + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back(entry);
  }
  closedir(dir);
  return entries;
}

int IniReadInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
               int defaultValue) {
  std::string content;
  if (!posix::ReadWholeFile(posix::NativePath(file), &content)) return defaultValue;
  return IniFile::Parse(content).GetInt(section, key, defaultValue);
}

std::wstring IniReadString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& defaultValue) {
  std::string content;
  if (!posix::ReadWholeFile(posix::NativePath(file), &content)) return defaultValue;
  return IniFile::Parse(content).GetString(section, key, defaultValue);
}

}  // namespace platform
