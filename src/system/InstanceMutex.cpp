#include "system/InstanceMutex.h"

CInstanceMutex& CInstanceMutex::GetInstance() {
  static CInstanceMutex instance;
  return instance;
}

void CInstanceMutex::Keep(std::unique_ptr<platform::NamedMutex> handle) {
  std::lock_guard<std::mutex> guard(lock_);
  handle_ = std::move(handle);
  startupCopy_ = workerCopy_ = handle_ != nullptr;
  released_ = false;
}

void CInstanceMutex::ReleaseForStartup() { Drop(&startupCopy_); }
void CInstanceMutex::ReleaseForWorker() { Drop(&workerCopy_); }

void CInstanceMutex::Drop(bool* copy) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!*copy) return;
  *copy = false;
  if (!released_) {
    handle_->Release();
    released_ = true;
  }
  if (!startupCopy_ && !workerCopy_) handle_.reset();
}

bool CInstanceMutex::HeldByStartup() const {
  std::lock_guard<std::mutex> guard(lock_);
  return startupCopy_;
}

bool CInstanceMutex::HeldByWorker() const {
  std::lock_guard<std::mutex> guard(lock_);
  return workerCopy_;
}
