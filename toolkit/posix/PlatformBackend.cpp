// Linux has no screen for the installer: its windows run on the headless
// backend. SETUP_USER_SCRIPT names a script that a user follows there (the
// demo drives the installer this way).
#include "toolkit/PlatformBackend.h"

#include <cstdlib>

#include "toolkit/headless/HeadlessBackend.h"
#include "toolkit/posix/PngDecoder.h"

namespace toolkit {

std::unique_ptr<WindowBackend> CreatePlatformBackend() {
  auto backend = std::make_unique<HeadlessBackend>();
  if (const char* script = std::getenv("SETUP_USER_SCRIPT")) backend->FollowScript(script);
  return backend;
}

std::unique_ptr<PictureDecoder> CreatePictureDecoder() { return std::make_unique<PngDecoder>(); }

}  // namespace toolkit
