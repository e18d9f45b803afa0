// Linux has no screen for the installer: its windows run on the headless backend.
#include "toolkit/PlatformBackend.h"

#include "toolkit/headless/HeadlessBackend.h"

namespace toolkit {

std::unique_ptr<WindowBackend> CreatePlatformBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace toolkit
