// One slice of a download: a contiguous byte range of the remote file and how
// far it has been written into the target file.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

class CTask {
 public:
  enum Status : int32_t { kNew = 0, kComplete = 1, kFailed = 2, kHandedOut = 3 };

  CTask() = default;
  CTask(const CTask&) = delete;
  CTask& operator=(const CTask&) = delete;

  // One past the last byte this slice holds. EndPos is the slice's last byte,
  // except for the last slice, whose EndPos is the total length itself.
  int64_t endOfData() const {
    return ContentLength > 0 ? std::min(EndPos + 1, ContentLength) : EndPos + 1;
  }
  // Bytes of the slice still missing; a write callback writes at most this many.
  int64_t remainingBytes() const { return std::max<int64_t>(0, endOfData() - DownloadedPos); }
  // Complete only when every byte of the range is in the target file. (A task
  // file that recorded DownloadedPos == EndPos for a middle slice thus asks
  // for that one byte again.)
  bool isComplete() const { return DownloadedPos >= endOfData(); }
  // One stream: the only task, from byte 0 to the end of the file.
  bool coversWholeFile() const {
    return ContentLength > 0 && StartPos == 0 && EndPos + 1 >= ContentLength;
  }
  int64_t writtenBytes() const { return std::max<int64_t>(0, DownloadedPos - StartPos); }

  std::atomic<int32_t> TaskStatus{kNew};
  std::atomic<int32_t> TaskId{0};
  int32_t Verbose = 0;
  std::string RemotePath;
  std::string LocalPath;
  std::string ProbeCdn;
  std::string SliceCdn;  // written by the worker's header callback only
  int64_t StartPos = 0;
  int64_t EndPos = 0;
  // Next byte to write: changed by the worker under the file mutex, read
  // without it by the driver for progress and the task file.
  std::atomic<int64_t> DownloadedPos{0};
  int64_t ContentLength = 0;  // whole remote file; 0 = unknown
  // Failed requests since the task was created or loaded.
  std::atomic<int32_t> RequestTimes{0};
};
