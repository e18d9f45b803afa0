#include "download/CDownloadThread.h"

#include <curl/curl.h>
#include <easylogging++.h>

#include "download/CLibcurlTool.h"
#include "platform/Process.h"

CDownloadThread::CDownloadThread(std::mutex& fileMutex, FILE* file, PoolSignals* signals)
    : fileMutex_(fileMutex), file_(file), signals_(signals) {
  CURL* handle = curl_easy_init();
  if (!handle) LOG(INFO) << "  m_pCurl init error !!!";
  curl_ = std::make_unique<CLibcurlTool>(handle);
}

CDownloadThread::~CDownloadThread() = default;

size_t CDownloadThread::writeBlock(const void* data, size_t size) {
  CTask* task = currentTask();
  std::lock_guard<std::mutex> lock(fileMutex_);
  const size_t wanted = static_cast<size_t>(std::min<int64_t>(task->remainingBytes(), size));
  uint32_t error = 0;
  const size_t written = platform::WriteFileAt(file_, task->DownloadedPos, data, wanted, &error);
  task->DownloadedPos += static_cast<int64_t>(written);
  if (written < wanted && !signals_->writeFailed.exchange(true)) {
    signals_->writeError = error;
    LOG(INFO) << " [Error]: the target file cannot be written, error code = " << error;
  }
  return written;
}

void CDownloadThread::restartTask() {
  CTask* task = currentTask();
  std::lock_guard<std::mutex> lock(fileMutex_);
  task->DownloadedPos = task->StartPos;
}

int CDownloadThread::taskBusiness() {
  CTask* task = currentTask();
  if (task->isComplete()) {
    task->TaskStatus = CTask::kComplete;
    return 1;
  }
  // The range starts at the first missing byte, so a retried or resumed
  // slice continues where it stopped.
  CURLcode result = curl_->httpDownloadContent(task->RemotePath.c_str(), task->DownloadedPos,
                                               task->lastByte(), 0, this);
  // Bytes are written only from accepted answers, so a complete task is a
  // success even when its transfer ended early: a split ends it at the
  // helper's first byte.
  const bool ok = task->isComplete();
  // Neither a transfer ended by a stop nor a failed write is a failure of
  // the server.
  if (!ok && result != CURLE_ABORTED_BY_CALLBACK && !signals_->writeFailed) ++task->RequestTimes;
  task->TaskStatus = ok ? CTask::kComplete : CTask::kFailed;
  if (task->Verbose)
    LOG(INFO) << " Tasks info, download " << (ok ? "success(" : "fail(") << result
              << "), id = " << task->TaskId << ", reqTime = " << task->RequestTimes;
  return 1;
}
