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

}  // namespace toolkit
