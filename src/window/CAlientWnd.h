// The launch splash: a small card with a turning ring ("transWnd.xml") that
// bridges the start of the product. A thread of its own starts the product
// and only posts the outcome back; the splash then stays for the frame
// duration and closes, or, when the start failed, reports DL019 and tells
// the user to start the product from its shortcut.
#pragma once

#include <cstdint>
#include <string>

#include "system/EnumLanguage.h"
#include "system/FuntionImpl.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/SkinWindow.h"
#include "window/WorkerThread.h"

class CAlientWnd : public toolkit::SkinWindow {
 public:
  static constexpr unsigned kFrameTimer = 1000;
  static constexpr uint64_t kFrameMs = 50;
  static constexpr int kFrameCount = 21;  // "skin/gif/bg00.png" to "bg20.png"

  // `command` is the product's quoted path; `frameDuration` the seconds the
  // splash stays after the product started; `report` sends analytics events
  // from any thread.
  CAlientWnd(toolkit::MessageLoop& loop, int adminFlag, std::wstring productName, std::wstring command,
             int frameDuration, EnumLanguage language, FuntionImpl::EventReport report,
             const toolkit::ResourceArchive& archive = toolkit::ResourceArchive::Shared());

  // Shows the splash, centred and without an owner, and runs it modally
  // until it closes itself. False, with nothing started, when the splash
  // cannot be made.
  bool DoModal();
  bool OnClose() override;

 protected:
  void OnMessage(unsigned message, intptr_t wparam, intptr_t lparam) override;

 private:
  static constexpr unsigned kStartedMessage = 0x8101;  // wparam: the start's result
  static constexpr unsigned kStayTimer = 1001;          // the frame duration after the start

  void InitWindow();
  void OnTimer(unsigned id);
  void OnProductStarted(int result);

  const int adminFlag_;
  const std::wstring productName_, command_;
  const int frameDuration_;
  const EnumLanguage language_;
  const FuntionImpl::EventReport report_;
  const toolkit::ResourceArchive& archive_;
  toolkit::Control* foreImage_ = nullptr;
  toolkit::Control* version_ = nullptr;
  WorkerThread starter_;  // last: joined first, while the window still is
};
