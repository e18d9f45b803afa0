#include "CSendQueue.h"

#include <chrono>
#include <thread>

#include "SdkLog.h"
#include "platform/Platform.h"

namespace {
// Items re-read from the queue file with a shorter key or content are left
// where they are.
constexpr size_t kMinStoredLength = 20;
}  // namespace

CSendQueue::CSendQueue(Attempt attempt) : attempt_(std::move(attempt)) {}

void CSendQueue::SetQueueFile(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  file_ = std::make_unique<CQueueFile>(path);
}

std::wstring CSendQueue::QueueFilePath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return file_ ? file_->Path() : std::wstring();
}

// Called under the queue lock.
void CSendQueue::UpdateQueueFile(const std::string& guid, const std::string& content, int status) {
  if (file_ && !file_->Update(guid, content, status))
    WriteSdkLog("Queue file not written: %s", platform::WideToUtf8(file_->Path()).c_str());
}

int CSendQueue::QueueSendItem(const std::string& key, const std::string& content, bool persist, bool wait) {
  const int repeats = history_.LookForRepeatCount(key, kRepeatWindowSeconds);
  history_.Append(key);
  if (repeats > kRepeatLimit) {
    WriteSdkLog("Detect repeat %d, more than %d within %d seconds", repeats, kRepeatLimit,
                kRepeatWindowSeconds);
    return -1;
  }
  const SendItem item{key, SendKindOf(content), content};
  if (persist) {
    std::lock_guard<std::mutex> hold(lock_);
    UpdateQueueFile(key, content, CQueueFile::kStatusWaiting);
  }
  if (wait) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      ++inFlight_;
    }
    return DeliverItem(item, persist) ? 0 : -2;
  }
  std::lock_guard<std::mutex> hold(lock_);
  queue_.push_back(item);
  return 0;
}

bool CSendQueue::DeliverItem(const SendItem& item, bool persisted) {
  bool delivered = false;
  for (int i = 0; i < kAttempts && !delivered; ++i) {
    delivered = attempt_(item);
    if (!delivered) std::this_thread::sleep_for(std::chrono::milliseconds(retryPauseMs_));
  }
  std::lock_guard<std::mutex> hold(lock_);
  if (delivered && persisted) UpdateQueueFile(item.key, item.content, CQueueFile::kStatusDelivered);
  if (!delivered) queue_.push_back(item);
  --inFlight_;
  return delivered;
}

int CSendQueue::ReadHistory(int* counted) {
  std::vector<CQueueFile::Entry> entries;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (file_) entries = file_->Pending(counted);
  }
  for (const CQueueFile::Entry& entry : entries)
    if (entry.guid.size() >= kMinStoredLength && entry.content.size() >= kMinStoredLength)
      QueueSendItem(entry.guid, entry.content, false, false);
  return static_cast<int>(entries.size());
}

bool CSendQueue::TakeFront(SendItem* item) {
  std::lock_guard<std::mutex> hold(lock_);
  if (queue_.empty()) return false;
  *item = queue_.front();
  queue_.pop_front();
  ++inFlight_;
  return true;
}

size_t CSendQueue::Size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return queue_.size();
}

bool CSendQueue::Idle() const {
  std::lock_guard<std::mutex> hold(lock_);
  return queue_.empty() && inFlight_ == 0;
}
