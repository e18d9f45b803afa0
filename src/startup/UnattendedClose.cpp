#include "startup/UnattendedClose.h"

#include <easylogging++.h>

#include <chrono>

#include "platform/Platform.h"
#include "startup/wWndMain.h"

UnattendedClose::UnattendedClose(toolkit::SkinWindow& window) {
  if (window.loop().backend().HasUser()) return;
  const std::wstring holdFile = platform::System().GetEnv(kTestHoldFileVariable);
  if (holdFile.empty()) {
    window.PostClose();
    return;
  }
  LOG(INFO) << " Holding until " << platform::WideToUtf8(holdFile) << " exists";
  watcher_ = std::thread([this, &window, holdFile] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!stop_ && !platform::FileExists(holdFile) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!stop_) window.PostClose();
  });
}

UnattendedClose::~UnattendedClose() {
  stop_ = true;
  if (watcher_.joinable()) watcher_.join();
}
