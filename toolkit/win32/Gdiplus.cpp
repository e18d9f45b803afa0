#include "toolkit/win32/Gdiplus.h"

#include <mutex>

namespace toolkit {

namespace {

std::mutex sessionLock;
int sessions = 0;
ULONG_PTR token = 0;
bool started = false;

}  // namespace

GdiplusSession::GdiplusSession() {
  std::lock_guard<std::mutex> guard(sessionLock);
  if (sessions++ > 0) return;
  Gdiplus::GdiplusStartupInput input;
  started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession() {
  std::lock_guard<std::mutex> guard(sessionLock);
  if (--sessions > 0 || !started) return;
  Gdiplus::GdiplusShutdown(token);
  started = false;
}

bool GdiplusSession::ok() const {
  std::lock_guard<std::mutex> guard(sessionLock);
  return started;
}

namespace {

// RGBA and BGRA differ in the order of red and blue only.
void SwapRedBlue(const uint8_t* in, uint8_t* out, int pixels) {
  for (int x = 0; x < pixels; ++x, in += 4, out += 4) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    out[3] = in[3];
  }
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> BitmapOfImage(const Image& image, const Rect& part) {
  auto bitmap = std::make_unique<Gdiplus::Bitmap>(part.Width(), part.Height(), PixelFormat32bppARGB);
  Gdiplus::BitmapData data;
  Gdiplus::Rect whole(0, 0, part.Width(), part.Height());
  if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
    return nullptr;
  for (int y = 0; y < part.Height(); ++y)
    SwapRedBlue(&image.rgba[(static_cast<size_t>(y + part.top) * image.width + part.left) * 4],
                static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride, part.Width());
  bitmap->UnlockBits(&data);
  return bitmap;
}

bool ImageOfBitmap(Gdiplus::Bitmap& bitmap, Image* image) {
  const int width = static_cast<int>(bitmap.GetWidth()), height = static_cast<int>(bitmap.GetHeight());
  Gdiplus::BitmapData data;
  Gdiplus::Rect whole(0, 0, width, height);
  if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return false;
  image->width = width;
  image->height = height;
  image->rgba.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y)
    SwapRedBlue(static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                &image->rgba[static_cast<size_t>(y) * width * 4], width);
  bitmap.UnlockBits(&data);
  return true;
}

}  // namespace toolkit
