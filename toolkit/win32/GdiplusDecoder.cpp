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
  Gdiplus::BitmapData data;
  Gdiplus::Rect whole(0, 0, width, height);
  if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
    return *error = "its pixels cannot be read", false;
  image->width = width;
  image->height = height;
  image->rgba.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    const auto* row = static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
    uint8_t* out = &image->rgba[static_cast<size_t>(y) * width * 4];
    for (int x = 0; x < width; ++x, row += 4, out += 4) {
      out[0] = row[2];  // BGRA to RGBA
      out[1] = row[1];
      out[2] = row[0];
      out[3] = row[3];
    }
  }
  bitmap->UnlockBits(&data);
  return true;
}

}  // namespace toolkit
