// The download pool: opens the target file and runs CDownloadThread workers
// that share it and the pool's file lock. The lock is the pool's own: the
// file handle belongs to this process alone, so no other process needs to
// (or may) take part in it.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "download/CDownloadThread.h"
#include "download/CThreadManager.h"
#include "platform/Process.h"

class CDownloadThreadManager : public CThreadManager {
 public:
  explicit CDownloadThreadManager(const std::string& localPath);
  ~CDownloadThreadManager() override;

  // Opens the target file (killing a process that holds it, once) and starts
  // `count` workers: the number of running workers, or -1 when the file
  // cannot be opened.
  int createThreads(int count) override;
  bool fileExists() const;
  // Ends every worker first, then closes the target file.
  void closeFile();
  FILE* file() const { return file_; }
  // Held by every write into the target together with its task's progress.
  std::mutex& fileMutex() { return mutex_; }
  // Ends every running transfer within a second; for stopping the attempt.
  void abortTransfers() { signals_.stop = true; }
  // True once a server answered a range inside the file with the whole file.
  bool rangesIgnored() const { return signals_.rangesIgnored; }
  void clearRangesIgnored() { signals_.rangesIgnored = false; }
  bool fileChanged() const { return signals_.fileChanged; }
  bool writeFailed() const { return signals_.writeFailed; }

 private:
  FILE* openTarget(uint32_t* error) const;

  std::string localPath_;
  std::mutex mutex_;
  FILE* file_ = nullptr;
  PoolSignals signals_;
};
