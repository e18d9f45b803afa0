// FuntionImpl: drives and storage queries, through the platform
// layer only. Windows roots are "X:\\"; Linux roots are mount points ending
// in "/" (see DriveRootOf in FuntionImpl.h for how paths map to roots).
#include "system/FuntionImpl.h"

#include "platform/Platform.h"

namespace FuntionImpl {

namespace {

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsLetterRoot(const std::wstring& root) {
  return root.size() >= 3 && IsLetter(root[0]) && root[1] == L':' &&
         (root[2] == L'\\' || root[2] == L'/');
}

}  // namespace

bool IsCandidateDrive(const std::wstring& root) {
  platform::ISystem& system = platform::System();
  return system.DriveType(root) == platform::kDriveFixed &&
         system.BusType(root) != platform::kBusTypeUsb;
}

std::vector<std::wstring> CandidateDrives() {
  std::vector<std::wstring> candidates;
  for (const std::wstring& root : platform::System().LogicalDrives())
    if (IsCandidateDrive(root)) candidates.push_back(root);
  return candidates;
}

// Solid-state: the seek-penalty query succeeds and reports no penalty; a
// volume that cannot be queried is not a solid-state drive.
bool IsSsdRoot(const std::wstring& root) {
  bool seekPenalty = true;
  if (!platform::System().SeekPenalty(root, &seekPenalty)) return false;
  return !seekPenalty;
}

bool IsSsdDrive(wchar_t letter) {
  if (!IsLetter(letter)) return false;
  return IsSsdRoot(std::wstring(1, letter) + L":\\");
}

int GetBusType(const std::wstring& root) { return platform::System().BusType(root); }

std::vector<std::wstring> ListSsdRoots() {
  std::vector<std::wstring> roots;
  for (const std::wstring& root : CandidateDrives())
    if (IsSsdRoot(root)) roots.push_back(root);
  return roots;
}

std::wstring ListSsdDrives() {
  std::wstring letters;
  for (const std::wstring& root : ListSsdRoots())
    if (IsLetterRoot(root)) letters += root[0];
  return letters;
}

std::wstring DriveRootOf(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path.substr(0, 3);
  std::wstring best = L"/";
  for (const std::wstring& root : platform::System().LogicalDrives()) {
    if (root.empty() || root[0] != L'/' || root.size() <= best.size()) continue;
    // "/data/" holds "/data/x" and "/data" itself.
    const bool holds = path.compare(0, root.size(), root) == 0 ||
                       (root.back() == L'/' && path == root.substr(0, root.size() - 1));
    if (holds) best = root;
  }
  return best;
}

// The candidate with strictly the most free space, the earlier one on
// ties; a drive with no free space is never kept (the comparison starts
// from 0) and one whose free space cannot be read is skipped.
std::wstring RoomiestDrive() {
  platform::ISystem& system = platform::System();
  std::wstring kept;
  uint64_t mostFree = 0;
  for (const std::wstring& root : CandidateDrives()) {
    uint64_t free = 0;
    if (!system.FreeBytesAvailable(root, &free)) continue;
    if (free > mostFree) {
      mostFree = free;
      kept = root;
    }
  }
  return kept;
}

std::wstring MoveToDrive(const std::wstring& path, const std::wstring& root) {
  const std::wstring prefix = DriveRootOf(path);
  return root + (path.size() > prefix.size() ? path.substr(prefix.size()) : std::wstring());
}

std::wstring MoveToRoomiestDrive(const std::wstring& path) {
  const std::wstring roomiest = RoomiestDrive();
  return roomiest.empty() ? path : MoveToDrive(path, roomiest);
}

bool IsFullLocalPath(const std::wstring& path) {
  if (platform::kPathSep == L'/') return !path.empty() && path[0] == L'/';
  return IsLetterRoot(path.substr(0, 3));
}

}  // namespace FuntionImpl
