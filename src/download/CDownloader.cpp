#include "download/CDownloader.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include <easylogging++.h>

#include "platform/Network.h"

namespace {

// The driver wakes at least this often while running, for progress updates.
constexpr uint32_t kPassMs = 100;
// The pauses of retryDelayMs. A slice given up after kMaxSliceRetries
// failures ends the attempt short; the next attempt resumes it.
constexpr uint32_t kRetryDelayMs = 250;
constexpr uint32_t kMaxRetryDelayMs = 16000;
constexpr uint32_t kMaxRetryAfterMs = 30000;

constexpr int64_t kUnits[] = {1073741824, 1048576, 1024, 1};
constexpr char kUnitLetters[] = {'G', 'M', 'K', 'B'};

struct SizeParts {
  int64_t number[4] = {0, 0, 0, 0};
  bool present[4] = {false, false, false, false};
};

// Each unit appears when the rest is strictly greater than the unit, so
// 1024 stays "1024B" and 1048576 stays "1024K".
SizeParts SplitSize(int64_t value) {
  SizeParts parts;
  for (int i = 0; i < 4; ++i) {
    if (value > (i < 3 ? kUnits[i] : 0)) {
      parts.number[i] = value / kUnits[i];
      parts.present[i] = true;
      value %= kUnits[i];
    }
  }
  return parts;
}

}  // namespace

CDownloader::CDownloader(const char* url, const char* localPath, const char* taskFile,
                         int threadCount)
    : url_(url), localPath_(localPath), taskFile_(taskFile), threadCount_(threadCount),
      tasks_(url, localPath, taskFile), pool_(localPath) {
  info_.LastTick = platform::TickCount();
  pool_.setIdleEvent(&wake_);
  driver_ = std::thread(&CDownloader::downloaderThread, this);
}

CDownloader::~CDownloader() { resetDownload(); }

int CDownloader::downloadInit(bool, std::string eventText, int verbose) {
  const int loaded = tasks_.loadDownloadTask(false, eventText, verbose);
  if (loaded != DownloadOk) {
    LOG(INFO) << " [Error]: " << "error to loadDownloadTask";
    return loaded;
  }
  const int threads = pool_.createThreads(threadCount_);
  if (threads < 0) return OpenFileFailed;
  if (threads == 0) {
    LOG(INFO) << " [Error]: " << " createThreads is empty";
    return NoThreads;
  }
  // A stale longer file must not keep its tail; a full disk shows here first.
  uint32_t error = 0;
  if (!platform::SetFileLength(pool_.file(), tasks_.ContentLength, &error)) {
    LOG(INFO) << " [Error]: the target file cannot be sized to " << tasks_.ContentLength
              << " bytes, error code = " << error;
    return WriteFailed;
  }
  WorkDone = false;
  return DownloadOk;
}

void CDownloader::setRunState(int32_t state) {
  RunState = state;
  wake_.Set();
}

void CDownloader::joinDriver() {
  if (!driver_.joinable()) return;
  // The driver ends only from the stopping state, after its workers.
  if (RunState != kStopping) setRunState(kStopping);
  driver_.join();
}

DownloadInfo CDownloader::downloadInfo() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_;
}

void CDownloader::downloaderThread() {
  uint32_t saves = 0;
  for (;;) {
    const int32_t state = RunState;
    if (state == kStopping) {
      pool_.abortTransfers();
      pool_.reclaimIdleThreads();
      if (pool_.busyThreads().empty()) break;
      updateDownloadInfo();
      wake_.WaitFor(kPassMs);
    } else if (state == kRunning) {
      runPass(saves);
    } else {
      wake_.Wait();
    }
  }
  stopPool();
  progress_.Set();
}

void CDownloader::runPass(uint32_t& saves) {
  if (downloadInfo().Percent / 10 > saves) {
    ++saves;
    saveTasks();
  }
  pool_.reclaimIdleThreads();
  // Progress counts also while the pool waits for a slow slice to end.
  updateDownloadInfo();
  if (pool_.writeFailed() || pool_.fileChanged()) return stopAtOnce();
  if (pool_.rangesIgnored() && !switchToOneStream(saves)) {
    wake_.WaitFor(kPassMs);
    return;
  }
  retryFailedTasks();
  if (tasks_.todoTasks().empty() && retryAt_.empty() && pool_.busyThreads().empty()) {
    if (allTasksComplete()) {
      LOG(INFO) << " Download will stop";
    } else {
      LOG(INFO) << " [Error]: slices failed " << kMaxSliceRetries << " times, the attempt ends";
    }
    return stopAtOnce();
  }
  WorkDone = true;
  while (!tasks_.todoTasks().empty() && !pool_.freeThreads().empty())
    pool_.giveTaskToAThreadTodo(tasks_.getOneTaskTodo());
  // Near the end, workers that would idle take the rest of the busiest slices.
  while (!pool_.freeThreads().empty() && retryAt_.empty() && splitBusiestTask())
    pool_.giveTaskToAThreadTodo(tasks_.getOneTaskTodo());
  wake_.WaitFor(kPassMs);
}

// The front end learns of the stop at once and reads why.
void CDownloader::stopAtOnce() {
  RunState = kStopping;
  progress_.Set();
}

bool CDownloader::splitBusiestTask() {
  CTask* busiest = nullptr;
  for (CTask* task : tasks_.doneTasks())
    if (task->TaskStatus == CTask::kHandedOut &&
        (!busiest || task->remainingBytes() > busiest->remainingBytes()))
      busiest = task;
  if (!busiest) return false;
  std::lock_guard<std::mutex> lock(pool_.fileMutex());
  return tasks_.splitTask(busiest) != nullptr;
}

bool CDownloader::allTasksComplete() const {
  const auto& done = tasks_.doneTasks();
  return std::all_of(done.begin(), done.end(),
                     [](CTask* t) { return t->TaskStatus == CTask::kComplete; });
}

// A failed slice goes back to the todo list after a pause that doubles with
// its failures, so one dropped connection does not stall the whole attempt
// and a struggling server is not pressed. Each pause is drawn between half
// and one and a half times its length, so that slices refused together (a
// server's request limit) come back apart; a longer Retry-After wins.
void CDownloader::retryFailedTasks() {
  const uint32_t now = platform::TickCount();
  std::vector<CTask*> failed;
  for (CTask* task : tasks_.doneTasks())
    if (task->TaskStatus == CTask::kFailed) failed.push_back(task);
  for (CTask* task : failed) {
    auto waiting = retryAt_.find(task);
    if (waiting == retryAt_.end()) {
      if (task->RequestTimes >= kMaxSliceRetries) continue;
      retryAt_[task] = now + retryDelayMs(task->RequestTimes, task->RetryAfterMs.exchange(0),
                                          static_cast<uint32_t>(random_()));
    } else if (static_cast<int32_t>(now - waiting->second) >= 0) {
      retryAt_.erase(waiting);
      tasks_.retryTask(task);
    }
  }
}

uint32_t CDownloader::retryDelayMs(int32_t failures, uint32_t retryAfterMs, uint32_t random) {
  const int32_t doublings = std::clamp(failures - 1, 0, 6);
  const uint32_t backoff = std::min(kMaxRetryDelayMs, kRetryDelayMs << doublings);
  const uint32_t jittered = backoff / 2 + random % (backoff + 1);
  return std::max(jittered, std::min(retryAfterMs, kMaxRetryAfterMs));
}

bool CDownloader::switchToOneStream(uint32_t& saves) {
  if (!pool_.busyThreads().empty()) return false;
  pool_.clearRangesIgnored();
  retryAt_.clear();
  tasks_.useOneStream("RangeIgnored");
  {
    // The one stream's bytes from 0 are the new plan's own.
    std::lock_guard<std::mutex> lock(infoLock_);
    info_.MostBytes = 0;
  }
  saves = 0;
  saveTasks();
  return true;
}

// Workers write unbuffered, so the target holds every byte that a saved
// position counts even when the process is killed right after the save;
// the flush makes it so on the device, also when the power goes.
void CDownloader::saveTasks() {
  if (tasks_.tasks().empty()) return;
  tasks_.saveTaskToFile([this] { return !pool_.file() || platform::SyncFile(pool_.file()); });
}

void CDownloader::stopPool() {
  const auto& all = tasks_.tasks();
  if (std::any_of(all.begin(), all.end(),
                  [](const std::unique_ptr<CTask>& t) { return !t->chainComplete(); })) {
    LOG(INFO) << " Stopping Download," << "Mission Failed";
    saveTasks();
  }
  pool_.stopThreads();
  updateDownloadInfo();
  LOG(INFO) << " Stopping Download," << "Update DownloadInfo";
  saveTasks();
  LOG(INFO) << " Download Stopped！";
}

int CDownloader::updateDownloadInfo() {
  const uint32_t now = platform::TickCount();
  int64_t bytes = 0;
  int32_t failed = 0;
  for (const auto* list : {&tasks_.tasks(), &tasks_.helpers()})
    for (const auto& task : *list) {
      bytes += task->writtenBytes();
      failed += task->RequestTimes;
    }
  const int64_t length = tasks_.ContentLength;
  std::lock_guard<std::mutex> lock(infoLock_);
  // Within the same millisecond only the counts move on: the last update of
  // an attempt must show every byte even when it follows the previous one
  // at once.
  const int64_t elapsed = static_cast<uint32_t>(now - info_.LastTick);
  if (elapsed > 0) {
    tasks_.DownloadTime += elapsed;
    info_.Speed = formatSize((bytes - info_.DownloadedBytes) * 1000 / elapsed) + "/S";
    info_.LastTick = now;
  }
  info_.DownloadedBytes = bytes;
  info_.MostBytes = std::max(info_.MostBytes, bytes);
  info_.ElapsedMs = tasks_.DownloadTime;
  info_.Percent = length > 0 ? std::trunc(static_cast<double>(bytes) / length * 10000) / 100 : 0;
  info_.AverageSpeed = formatSize(info_.ElapsedMs > 0 ? bytes / info_.ElapsedMs * 1000 : 0) + "/S";
  info_.FailedRequests = failed;
  return 1;
}

std::string CDownloader::getCdnInfo() const {
  std::string probeCdn, slices;
  for (CTask* task : tasks_.doneTasks()) {
    probeCdn = task->ProbeCdn;
    if (!task->SliceCdn.empty()) slices += task->SliceCdn + ";";
  }
  return slices.empty() ? slices : "T(" + probeCdn + ");C(" + slices + ")";
}

int CDownloader::resetDownload() {
  joinDriver();
  pool_.closeFile();
  tasks_.clearTasks();
  retryAt_.clear();
  RunState = kIdle;
  std::lock_guard<std::mutex> lock(infoLock_);
  info_.LastTick = platform::TickCount();
  return 1;
}

std::string CDownloader::formatSizeUnits(int64_t value) {
  if (value < 0) return std::string();
  const SizeParts parts = SplitSize(value);
  std::string text;
  for (int i = 0; i < 4; ++i)
    if (parts.present[i]) text += std::to_string(parts.number[i]) + kUnitLetters[i];
  return text;
}

std::string CDownloader::formatSize(int64_t value) {
  if (value <= 0) return "0.00B";
  const SizeParts parts = SplitSize(value);
  for (int i = 0; i < 4; ++i) {
    if (!parts.present[i]) continue;
    const double next = i < 3 && parts.present[i + 1] ? parts.number[i + 1] : 0;
    std::ostringstream text;
    text << std::trunc(next / 1024 * 100) / 100 + static_cast<double>(parts.number[i]) << kUnitLetters[i];
    return text.str();
  }
  return "0.00B";
}
