// A worker of the download pool: downloads one slice at a time with its own
// HTTP client into the target file that all workers of the pool share.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "download/CThread.h"

class CLibcurlTool;

// Flags a pool shares with its workers.
struct PoolSignals {
  // Set when the attempt stops: every running transfer ends within a second.
  std::atomic<bool> stop{false};
  // Set when a server answered a range inside the file with the whole file.
  std::atomic<bool> rangesIgnored{false};
};

// What the header callback learnt of the answer being received. Reset for
// every request and for every answer of a redirect chain.
struct SliceAnswer {
  int64_t firstByte = 0;  // the first byte the request asked for
  int status = 0;
  bool rangeSeen = false;     // a Content-Range that starts at firstByte
  bool bodyAccepted = false;  // the headers ended and the body is the slice's
};

class CDownloadThread : public CThread {
 public:
  CDownloadThread(std::shared_ptr<platform::SharedMutex> mutex, FILE* file, PoolSignals* signals);
  ~CDownloadThread() override;

  // The slice routine: fetches the missing bytes of the current task and
  // records the outcome in it. Returns 1.
  int taskBusiness() override;

  // Writes a received block at the current task's DownloadedPos under the
  // file mutex and advances DownloadedPos by what was written. Never writes
  // past the slice: returns fewer than `size` bytes when the block reaches
  // beyond it or the write fails (the write callback then ends the transfer).
  size_t writeBlock(const void* data, size_t size);
  // Starts the current task again at its first byte (a server that ignores
  // ranges sends the whole file).
  void restartTask();

  SliceAnswer& answer() { return answer_; }
  PoolSignals& signals() { return *signals_; }

 private:
  FILE* file_;
  PoolSignals* signals_;
  SliceAnswer answer_;
  std::unique_ptr<CLibcurlTool> curl_;
};
