// A worker of the download pool: downloads one slice at a time with its own
// HTTP client into the target file that all workers of the pool share.
#pragma once

#include <cstdio>
#include <memory>

#include "download/CThread.h"

class CLibcurlTool;

class CDownloadThread : public CThread {
 public:
  CDownloadThread(std::shared_ptr<platform::SharedMutex> mutex, FILE* file);
  ~CDownloadThread() override;

  // The slice routine: fetches the missing bytes of the current task and
  // records the outcome in it. Returns 1.
  int taskBusiness() override;

  // Writes a received block at the current task's DownloadedPos under the
  // file mutex and advances DownloadedPos by what was written. Never writes
  // past the slice: returns fewer than `size` bytes when the block reaches
  // beyond it or the write fails (the write callback then ends the transfer).
  size_t writeBlock(const void* data, size_t size);

 private:
  FILE* file_;
  std::unique_ptr<CLibcurlTool> curl_;
};
