// GDI+ for the Win32 backend: the headers in the order they need, the
// library's start and shutdown, counted so that the backend, the picture
// decoder and tests can each hold a session, and the copies between GDI+
// bitmaps and the toolkit's images.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <memory>

#include "toolkit/Geometry.h"
#include "toolkit/Image.h"

namespace toolkit {

class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool ok() const;
};

// A 32-bit ARGB copy of `part` of `image`; nullptr when GDI+ refuses.
std::unique_ptr<Gdiplus::Bitmap> BitmapOfImage(const Image& image, const Rect& part);
// The bitmap's pixels into `image`; false when they cannot be read.
bool ImageOfBitmap(Gdiplus::Bitmap& bitmap, Image* image);

}  // namespace toolkit
