// FuntionImpl: a folder below a drive root made of folders that only this
// program may change, where a folder somebody else prepared is never used.
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "system/FuntionImpl.h"

namespace FuntionImpl {

namespace {

constexpr int kFreshNames = 16;

const char* Describe(platform::FolderState state) {
  switch (state) {
    case platform::FolderState::kLink: return "a link";
    case platform::FolderState::kForeignOwner: return "owned by somebody else";
    case platform::FolderState::kOthersMayWrite: return "writable by somebody else";
    case platform::FolderState::kNotAFolder: return "not a folder";
    case platform::FolderState::kMissing: return "gone";
    default: return "not readable";
  }
}

// `folder` when it is ours or can be made ours, else the first fresh name
// beside it that is; empty when none is.
std::wstring PrepareLevel(const std::wstring& folder, std::vector<std::string>* notes) {
  for (int n = 0; n <= kFreshNames; ++n) {
    const std::wstring candidate = n == 0 ? folder : folder + L"_" + std::to_wstring(n);
    const std::string name = platform::WideToUtf8(candidate);
    const uint32_t created = platform::CreatePrivateFolder(candidate);
    if (created == platform::kErrorSuccess) return candidate;
    if (created != platform::kErrorAlreadyExists) {
      notes->push_back(" [Error]: the folder " + name + " cannot be created, error " + std::to_string(created));
      return std::wstring();
    }
    const platform::FolderState state = platform::CheckPrivateFolder(candidate);
    if (state == platform::FolderState::kPrivate) return candidate;
    const std::string found = " [Error]: the folder " + name + " is " + Describe(state) + ", not used";
    if (platform::RemoveFolderOrLink(candidate) &&
        platform::CreatePrivateFolder(candidate) == platform::kErrorSuccess) {
      notes->push_back(found + ": removed and created anew");
      return candidate;
    }
    notes->push_back(found + ": a fresh folder beside it is tried");
  }
  return std::wstring();
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring PreparePrivateFolder(const std::wstring& path, std::vector<std::string>* notes) {
  std::wstring folder = DriveRootOf(path);
  std::wstring name;
  for (size_t i = folder.size(); i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) {
      name += path[i];
      continue;
    }
    if (name.empty()) continue;
    folder = PrepareLevel(JoinPath(folder, name), notes);
    if (folder.empty()) return folder;
    name.clear();
  }
  return folder;
}

}  // namespace FuntionImpl
