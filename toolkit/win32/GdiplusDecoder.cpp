#include "toolkit/win32/GdiplusDecoder.h"

#include <cstring>
#include <memory>

namespace toolkit {

namespace {

// A stream over a copy of the bytes; the stream owns the memory.
IStream* StreamOver(const std::string& bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return nullptr;
  void* data = GlobalLock(memory);
  if (data) std::memcpy(data, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (!data || FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    return nullptr;
  }
  return stream;
}

}  // namespace

bool GdiplusDecoder::Decode(const std::string& bytes, Image* image, std::string* error) const {
  if (!session_.ok()) return *error = "GDI+ did not start", false;
  IStream* stream = StreamOver(bytes);
  if (!stream) return *error = "out of memory", false;
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream));
  stream->Release();  // GDI+ keeps its own reference while the bitmap lives
  if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return *error = "not a picture GDI+ can read", false;
  const int width = static_cast<int>(bitmap->GetWidth()), height = static_cast<int>(bitmap->GetHeight());
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
    return *error = "picture of " + std::to_string(width) + "x" + std::to_string(height) + " pixels", false;
  if (!ImageOfBitmap(*bitmap, image)) return *error = "its pixels cannot be read", false;
  return true;
}

}  // namespace toolkit
