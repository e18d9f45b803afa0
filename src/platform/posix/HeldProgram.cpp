// posix backend of the held program file: an open file can always be
// renamed here, so copies are started through the descriptor itself
// (/proc/self/fd/N), which names the file that was opened whatever its path
// names now.
#include "platform/HeldProgram.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"

namespace platform {

namespace {

class PosixHeldProgram final : public HeldProgram {
 public:
  explicit PosixHeldProgram(int descriptor) : descriptor_(descriptor) {}
  ~PosixHeldProgram() override { close(descriptor_); }

  std::wstring LaunchPath() const override { return L"/proc/self/fd/" + std::to_wstring(descriptor_); }
  bool Start(const std::wstring& parameters, bool) override {
    return posix::SpawnDetached(WideToUtf8(LaunchPath()), posix::BlankSeparatedWords(parameters));
  }

 private:
  int descriptor_;
};

std::unique_ptr<HeldProgram> Hold(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  return std::make_unique<PosixHeldProgram>(descriptor);
}

}  // namespace

std::unique_ptr<HeldProgram> HeldProgram::Open(const std::wstring& path) { return Hold(posix::NativePath(path)); }

// The kernel's link to the running image names it even after a rename.
std::unique_ptr<HeldProgram> HeldProgram::OpenRunning() { return Hold("/proc/self/exe"); }

}  // namespace platform
