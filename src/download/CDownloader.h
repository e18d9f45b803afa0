// One download attempt of one file: the slice tasks, the worker pool and the
// driver thread that feeds the pool, keeps DownloadInfo current, saves the
// task file as progress grows and stops the pool when every slice is done.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "download/AutoResetEvent.h"
#include "download/CDownloadTaskManager.h"
#include "download/CDownloadThreadManager.h"

// Results of the download engine.
enum EnumErrorCode : int32_t {
  DownloadOk = 1,
  GetLengthFailed = 6,
  OpenFileFailed = 7,
  NoThreads = 8,
  NetworkDown = 9,
  NoSpeedTimeout = 10,
  CdnRequestFailed = 11,
  LengthShort = 12,
  TooManyRedirects = 13,
  FileTooSmall = 15,
  Cancelled = 16,  // the caller stopped the attempt
  WriteFailed = 17,  // the target file could not be written (a full disk, a removed drive)
};

struct DownloadInfo {
  uint32_t LastTick = 0;
  int64_t DownloadedBytes = 0;  // bytes of all slices in the target file
  // The most DownloadedBytes has been since the plan was made: a slice that
  // starts again lowers DownloadedBytes, and what it brings up to this
  // mark again is not new.
  int64_t MostBytes = 0;
  std::string Speed = "0.0B/S";
  double Percent = 0;
  int64_t ElapsedMs = 0;
  std::string AverageSpeed = "0.0B/S";
  int32_t FailedRequests = 0;
};

class CDownloader {
 public:
  enum RunStates : int32_t { kStopping = 0, kRunning = 1, kIdle = 2 };

  // Starts the driver thread at once; it idles until the run state changes.
  CDownloader(const char* url, const char* localPath, const char* taskFile, int threadCount);
  // Stops the attempt and waits until no thread of it runs.
  ~CDownloader();
  CDownloader(const CDownloader&) = delete;
  CDownloader& operator=(const CDownloader&) = delete;

  // Loads or plans the tasks and starts the pool: an EnumErrorCode.
  int downloadInit(bool, std::string eventText, int verbose);
  int updateDownloadInfo();
  std::string getCdnInfo() const;
  // Waits for the driver and every worker to end, then frees the tasks and
  // closes the target file. Returns 1.
  int resetDownload();

  void setRunState(int32_t state);
  int32_t runState() const { return RunState; }
  // Stops the attempt and waits until the driver and every worker have
  // ended; a stop ends every transfer within a second, so this is short.
  void joinDriver();
  DownloadInfo downloadInfo() const;
  // Set when the driver finds every slice complete and when it ends.
  AutoResetEvent& progressEvent() { return progress_; }
  bool workDone() const { return WorkDone; }
  // A write into the target failed: the attempt ends, no server can mend it.
  bool writeFailed() const { return pool_.writeFailed(); }
  // A slice's "If-Range" was answered with another file: the download must
  // start again.
  bool fileChanged() const { return pool_.fileChanged(); }
  CDownloadTaskManager& taskManager() { return tasks_; }

  // A failed slice is handed out again after this pause (ms): 250 ms after
  // its first failure, doubling with each further one up to 16 s, drawn
  // between half and one and a half of that by `random`; a longer pause the
  // server asked for (Retry-After) wins, up to 30 s.
  static uint32_t retryDelayMs(int32_t failures, uint32_t retryAfterMs, uint32_t random);
  // Failures of one slice within an attempt after which it is given up.
  static constexpr int32_t kMaxSliceRetries = 6;

  static std::string formatSizeUnits(int64_t value);
  static std::string formatSize(int64_t value);

 private:
  void downloaderThread();
  void runPass(uint32_t& saves);
  void stopPool();
  void stopAtOnce();
  bool allTasksComplete() const;
  void retryFailedTasks();
  // A server answered a range with the whole file: once no worker runs,
  // the slices make way for one stream. False while workers still run.
  bool switchToOneStream(uint32_t& saves);
  bool splitBusiestTask();
  void saveTasks();

  std::string url_, localPath_, taskFile_;
  int threadCount_;
  std::atomic<int32_t> RunState{kIdle};
  std::atomic<bool> WorkDone{false};
  mutable std::mutex infoLock_;
  DownloadInfo info_;
  CDownloadTaskManager tasks_;
  CDownloadThreadManager pool_;
  // Failed slices and the tick at which they are handed out again; a slice
  // that failed too often within the attempt is not.
  std::map<CTask*, uint32_t> retryAt_;
  std::minstd_rand random_{std::random_device{}()};
  AutoResetEvent wake_;
  AutoResetEvent progress_;
  std::thread driver_;
};
