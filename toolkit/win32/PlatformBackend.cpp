// Windows programs draw their windows with GDI+, from the program's own archive.
#include "toolkit/PlatformBackend.h"

#include "toolkit/win32/GdiplusDecoder.h"
#include "toolkit/win32/Win32Backend.h"

namespace toolkit {

std::unique_ptr<WindowBackend> CreatePlatformBackend() {
  return std::make_unique<Win32Backend>(ResourceArchive::Shared());
}

std::unique_ptr<PictureDecoder> CreatePictureDecoder() { return std::make_unique<GdiplusDecoder>(); }

}  // namespace toolkit
