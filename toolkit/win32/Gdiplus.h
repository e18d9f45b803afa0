// GDI+ for the Win32 backend: the headers in the order they need, and the
// library's start and shutdown, counted so that the backend, the picture
// decoder and tests can each hold a session.
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

namespace toolkit {

class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool ok() const;
};

}  // namespace toolkit
