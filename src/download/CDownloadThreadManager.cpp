#include "download/CDownloadThreadManager.h"

#include <easylogging++.h>

#include "download/CDownloadThread.h"
#include "system/FuntionImpl.h"
#include "download/DownloadEvents.h"
#include "platform/Platform.h"

CDownloadThreadManager::CDownloadThreadManager(const std::string& localPath)
    : localPath_(localPath) {}

CDownloadThreadManager::~CDownloadThreadManager() { closeFile(); }

bool CDownloadThreadManager::fileExists() const {
  uint32_t error = 0;
  FILE* file = platform::OpenFile(localPath_, "rb", &error);
  if (file) std::fclose(file);
  return file != nullptr;
}

FILE* CDownloadThreadManager::openTarget(uint32_t* error) const {
  FILE* file = platform::OpenFile(localPath_, fileExists() ? "rb+" : "wb+", error);
  // Unbuffered: a block is in the system's hands before DownloadedPos counts
  // it, so a killed process never loses bytes that the task file claims.
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

int CDownloadThreadManager::createThreads(int count) {
  uint32_t error = 0;
  file_ = openTarget(&error);
  if (!file_) {
    LOG(INFO) << "local file is NULL error code = " << error;
    if (error == platform::kErrorSharingViolation) {
      FuntionImpl::FindProcessByFullPath(platform::AnsiToWide(localPath_), true, true);
      file_ = openTarget(&error);
    }
  }
  if (!file_) {
    LOG(INFO) << "after kill local file is NULL error code = " << error;
    DownloadEvents::Event("Other", "OpenFileErrCode", std::to_string(error));
    return -1;
  }
  LOG(INFO) << " Create threads and init: " << count;
  for (int i = 0; i < count; ++i) addThread(std::make_unique<CDownloadThread>(mutex_, file_, &signals_));
  return static_cast<int>(threadCount());
}

void CDownloadThreadManager::closeFile() {
  releaseThreads();
  if (file_) std::fclose(file_);
  file_ = nullptr;
}
