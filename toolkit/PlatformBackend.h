// The window backend of the platform the program is built for: each backend
// folder (toolkit/posix, toolkit/win32) defines this factory.
#pragma once

#include <memory>

#include "toolkit/PictureDecoder.h"
#include "toolkit/WindowBackend.h"

namespace toolkit {

std::unique_ptr<WindowBackend> CreatePlatformBackend();
// A decoder of this platform's picture formats, for any thread that needs to
// check a picture file without a window (each decoder serves one thread).
std::unique_ptr<PictureDecoder> CreatePictureDecoder();

}  // namespace toolkit
