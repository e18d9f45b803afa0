// The single-instance mutex "Zel_Downloader_%d", kept twice: once for
// start-up, which releases it after the message loop, and once for the
// install worker, which releases it itself at the end of an unattended run.
// It is released once, whoever comes first, and closed when neither keeps it.
#pragma once

#include <memory>
#include <mutex>

#include "platform/Platform.h"

class CInstanceMutex {
 public:
  static CInstanceMutex& GetInstance();

  // Keeps the handle in both places (replacing an earlier one).
  void Keep(std::unique_ptr<platform::NamedMutex> handle);
  void ReleaseForStartup();
  void ReleaseForWorker();
  bool HeldByStartup() const;
  bool HeldByWorker() const;

  CInstanceMutex(const CInstanceMutex&) = delete;
  CInstanceMutex& operator=(const CInstanceMutex&) = delete;

 private:
  CInstanceMutex() = default;
  void Drop(bool* copy);

  mutable std::mutex lock_;
  std::unique_ptr<platform::NamedMutex> handle_;
  bool startupCopy_ = false, workerCopy_ = false, released_ = false;
};
