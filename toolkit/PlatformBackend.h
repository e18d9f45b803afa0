// The window backend of the platform the program is built for: each backend
// folder (toolkit/posix, toolkit/win32) defines this factory.
#pragma once

#include <memory>

#include "toolkit/WindowBackend.h"

namespace toolkit {

std::unique_ptr<WindowBackend> CreatePlatformBackend();

}  // namespace toolkit
