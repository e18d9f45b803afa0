// A worker of the download pool: downloads one slice at a time with its own
// HTTP client into the target file that all workers of the pool share.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "download/CThread.h"

class CLibcurlTool;

// Flags a pool shares with its workers.
struct PoolSignals {
  // Set when the attempt stops: every running transfer ends within a second.
  std::atomic<bool> stop{false};
  // Set when a server answered a range inside the file with the whole file.
  std::atomic<bool> rangesIgnored{false};
  // Set when an "If-Range" request was answered with another file: the
  // download must start again.
  std::atomic<bool> fileChanged{false};
  // Set when a write into the target failed (a full disk, a removed
  // drive), with the Win32-style error: no server can mend that.
  std::atomic<bool> writeFailed{false};
  std::atomic<uint32_t> writeError{0};
};

// What the header callback learnt of the answer being received. Reset for
// every request and for every answer of a redirect chain.
struct SliceAnswer {
  SliceAnswer() = default;
  explicit SliceAnswer(int64_t first, int code = 0) : firstByte(first), status(code) {}

  int64_t firstByte = 0;  // the first byte the request asked for
  int status = 0;
  bool rangeSeen = false;     // a Content-Range that starts at firstByte
  bool bodyAccepted = false;  // the headers ended and the body is the slice's
  bool discardBody = false;   // a redirect's body, which the request follows
  int64_t bodyLength = -1;    // Content-Length; -1 when none was sent
  int64_t received = 0;       // body bytes so far
  std::string etag, lastModified;
  uint32_t retryAfterMs = 0;  // Retry-After of an error answer
};

class CDownloadThread : public CThread {
 public:
  // `fileMutex` is the pool's: held by every write into `file` together
  // with the task's progress.
  CDownloadThread(std::mutex& fileMutex, FILE* file, PoolSignals* signals);
  ~CDownloadThread() override;

  // The slice routine: fetches the missing bytes of the current task and
  // records the outcome in it. Returns 1.
  int taskBusiness() override;

  // Writes a received block at the current task's DownloadedPos under the
  // file mutex and advances DownloadedPos by what was written. Never writes
  // past the slice: returns fewer than `size` bytes when the block reaches
  // beyond it or the write fails (the write callback then ends the transfer;
  // a failed write also sets the pool's writeFailed).
  size_t writeBlock(const void* data, size_t size);
  // Starts the current task again at its first byte (a server that ignores
  // ranges sends the whole file).
  void restartTask();

  SliceAnswer& answer() { return answer_; }
  PoolSignals& signals() { return *signals_; }

 private:
  std::mutex& fileMutex_;
  FILE* file_;
  PoolSignals* signals_;
  SliceAnswer answer_;
  std::unique_ptr<CLibcurlTool> curl_;
};
