// The backend-independent part of the shared files: whole-file replacement.
#include "platform/SharedFile.h"

#include <random>
#include <sstream>

#include "platform/Process.h"

namespace platform {

namespace {

// One name per process for the new file, so that two processes replacing
// the same file never write into each other's new file.
const std::wstring& NewFileSuffix() {
  static const std::wstring suffix = [] {
    std::random_device random;
    std::wostringstream text;
    text << L".new" << std::hex << random() << random();
    return text.str();
  }();
  return suffix;
}

bool WriteSynced(const std::wstring& path, const std::string& bytes) {
  const std::unique_ptr<SharedFile> file = OpenSharedFile(path, OpenMode::kTruncate);
  return file && file->WriteAt(0, bytes.data(), bytes.size()) && file->Sync();
}

}  // namespace

bool ReplaceFileContent(const std::wstring& path, const std::string& bytes) {
  const std::wstring fresh = path + NewFileSuffix();
  if (WriteSynced(fresh, bytes) && RenameOver(fresh, path)) return true;
  RemoveFile(fresh);
  return false;
}

}  // namespace platform
