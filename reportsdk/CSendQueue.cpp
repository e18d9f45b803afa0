#include "CSendQueue.h"

#include <chrono>
#include <thread>

#include "SdkLog.h"

namespace {
// Items re-read from the queue file with a shorter key or content are left
// where they are.
constexpr size_t kMinStoredLength = 20;
}  // namespace

CSendQueue::CSendQueue(Attempt attempt) : attempt_(std::move(attempt)) {}

// Items queued before keep the file that holds their entries.
void CSendQueue::SetQueueFile(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!file_ || file_->Path() != path) file_ = std::make_shared<CQueueFile>(path);
}

std::wstring CSendQueue::QueueFilePath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return file_ ? file_->Path() : std::wstring();
}

int CSendQueue::QueueSendItem(const std::string& key, const std::string& content, bool persist, bool wait) {
  const int repeats = history_.LookForRepeatCount(key, kRepeatWindowSeconds);
  history_.Append(key);
  if (repeats > kRepeatLimit) {
    WriteSdkLog("Detect repeat %d, more than %d within %d seconds", repeats, kRepeatLimit,
                kRepeatWindowSeconds);
    return -1;
  }
  SendItem item{key, SendKindOf(content), content, nullptr, 0};
  {
    std::lock_guard<std::mutex> hold(lock_);
    // The file keeps the entry in memory when it cannot be written now.
    if (file_ && persist) file_->Add(key, content);
    item.entryFile = file_;
    if (!wait) {
      queue_.push_back(std::move(item));
      return 0;
    }
    ++inFlight_;
  }
  return DeliverItem(std::move(item), kWaitBudgetMs) ? 0 : -2;
}

void CSendQueue::Pause() const {
  std::unique_lock<std::mutex> hold(pauseLock_);
  pauseEnd_.wait_for(hold, std::chrono::milliseconds(retryPauseMs_.load()), [this] { return stopping_.load(); });
}

void CSendQueue::Stop() {
  {
    std::lock_guard<std::mutex> hold(pauseLock_);
    stopping_ = true;
  }
  pauseEnd_.notify_all();
}

// A refusal for good ends the round: asking again changes nothing.
int CSendQueue::Round(const SendItem& item) {
  int result = kDeliveryFailed;
  for (int i = 0; i < kAttempts && !stopping_; ++i) {
    result = attempt_(item, 0);
    if (result == kDeliveryAccepted) break;
    Pause();
    if (result == kDeliveryRefused) break;
  }
  return result;
}

// A waiting caller gets one attempt within its budget and never a pause:
// the sender thread goes on with the item.
bool CSendQueue::DeliverItem(SendItem item, int budgetMs) {
  std::unique_ptr<platform::SharedFile> claim;
  CQueueFile::ClaimResult claimed = CQueueFile::kClaimed;
  if (item.entryFile) {
    std::lock_guard<std::mutex> hold(lock_);
    claimed = item.entryFile->Claim(item.key, item.content, &claim);
  }
  int result = kDeliveryAccepted;  // an entry gone from the file was delivered elsewhere
  if (claimed == CQueueFile::kClaimed) result = budgetMs > 0 ? attempt_(item, budgetMs) : Round(item);
  if (claimed == CQueueFile::kBusy) {
    if (budgetMs == 0) Pause();
    result = kDeliveryFailed;
  }
  const bool dropped = result == kDeliveryRefused && ++item.refusedRounds >= kRefusedRounds;
  if (dropped) WriteSdkLog("Dropped after %d refused rounds: %s", item.refusedRounds, item.key.c_str());
  // The entry is marked before the claim ends (claim outlives the lock).
  std::lock_guard<std::mutex> hold(lock_);
  if (item.entryFile && claimed == CQueueFile::kClaimed && (result == kDeliveryAccepted || dropped))
    item.entryFile->Remove(item.key, item.content);
  if (result != kDeliveryAccepted && !dropped) queue_.push_back(item);
  --inFlight_;
  return result == kDeliveryAccepted;
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
