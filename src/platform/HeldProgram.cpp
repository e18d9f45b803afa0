// The process-wide hold of the program's own file and the copies started
// from it; the backends open the file (HeldProgram::Open, OpenRunning).
#include "platform/HeldProgram.h"

#include <atomic>

#include "platform/Platform.h"

namespace platform {

namespace {
// Set once at start-up and held until the process ends.
std::atomic<HeldProgram*> g_own{nullptr};
}  // namespace

bool HoldOwnProgram() {
  if (g_own.load()) return true;
  std::unique_ptr<HeldProgram> own = HeldProgram::OpenRunning();
  if (!own) return false;
  g_own.store(own.release());
  return true;
}

HeldProgram* OwnProgram() { return g_own.load(); }

bool ISystem::StartOwnCopy(const std::wstring& parameters, bool show) {
  HeldProgram* own = OwnProgram();
  return own != nullptr && own->Start(parameters, show);
}

}  // namespace platform
