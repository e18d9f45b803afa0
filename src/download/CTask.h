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

  // The last byte this task fetches itself: EndPos, or the byte before the
  // part handed to a helper when the task was split.
  int64_t lastByte() const {
    const int64_t split = SplitAt;
    return split > 0 ? split - 1 : EndPos;
  }
  // One past the last byte this task holds. EndPos is the slice's last byte,
  // except for the last slice, whose EndPos is the total length itself.
  int64_t endOfData() const { return clampedEnd(lastByte()); }
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
  // Every byte of the slice is there: this task's part and its helpers'.
  bool chainComplete() const { return isComplete() && (!Rest || Rest->chainComplete()); }
  // What the task file records of the slice as planned: complete only when
  // the whole chain is, so that bytes a helper has not written never count.
  int64_t savedDownloadedPos() const { return chainComplete() ? clampedEnd(EndPos) : DownloadedPos.load(); }

  std::atomic<int32_t> TaskStatus{kNew};
  std::atomic<int32_t> TaskId{0};
  int32_t Verbose = 0;
  std::string RemotePath;
  std::string LocalPath;
  std::string ProbeCdn;
  std::string SliceCdn;  // written by the worker's header callback only
  // The file's ETag or Last-Modified, sent as "If-Range"; empty: none.
  std::string Validator;
  int64_t StartPos = 0;
  int64_t EndPos = 0;
  // Next byte to write: changed by the worker under the file mutex, read
  // without it by the driver for progress and the task file.
  std::atomic<int64_t> DownloadedPos{0};
  int64_t ContentLength = 0;  // whole remote file; 0 = unknown
  // Failed requests since the task was created or loaded.
  std::atomic<int32_t> RequestTimes{0};
  // The pause the last refusing answer asked for ("Retry-After"), in ms.
  std::atomic<uint32_t> RetryAfterMs{0};
  // Set by the driver, under the file mutex, when the rest of a running
  // slice goes to an idle worker: the first byte of that rest (0: not split),
  // and the helper task that fetches it.
  std::atomic<int64_t> SplitAt{0};
  CTask* Rest = nullptr;

 private:
  int64_t clampedEnd(int64_t last) const { return ContentLength > 0 ? std::min(last + 1, ContentLength) : last + 1; }
};
