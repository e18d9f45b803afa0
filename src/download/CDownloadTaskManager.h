// The slice tasks of one download: measures the remote file, cuts it into
// slices, and keeps them in the task file beside the target so that a later
// attempt resumes every slice where it stopped.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <string>

#include "download/CTaskManager.h"

class CDownloadTaskManager : public CTaskManager {
 public:
  static constexpr int64_t kDefaultSliceSize = 4194304;
  // Bounds on what a server controls: a slice is never smaller than this,
  // a download never has more tasks, and a length beyond the limit is
  // refused as unknown.
  static constexpr int64_t kMinSliceSize = 262144;
  static constexpr int64_t kMaxTasks = 4096;
  static constexpr int64_t kMaxContentLength = int64_t{1} << 40;
  // A task file of kMaxTasks tasks is far smaller; a bigger one is not read.
  static constexpr int64_t kMaxTaskFileBytes = int64_t{8} << 20;
  // A running slice is split for an idle worker only when this much is left.
  static constexpr int64_t kMinSplitBytes = 4 * kMinSliceSize;

  CDownloadTaskManager(const std::string& url, const std::string& localPath,
                       const std::string& taskFile);

  // Resumes from a valid task file, or starts over with a fresh slice plan.
  // Returns an EnumErrorCode: 1, 6, 13 or 16 (cancelled).
  int loadDownloadTask(bool, std::string eventText, int verbose);
  // Probes the length (up to 10 calls) and creates the slices: 1, 6, 13 or 16.
  int generateDownloadTask(bool, std::string eventText, int verbose);
  // The remote length (0 when unknown) from the length cache, else measured.
  int64_t getContentLength(CURLcode& result, std::string& cdn, int verbose);
  // False as soon as a task of the file carried a status. A file beyond
  // kMaxTaskFileBytes, with more than kMaxTasks tasks or with a position
  // outside 0..kMaxContentLength loads no task. The addresses the file
  // names are never used: loadDownloadTask gives every task this run's.
  bool loadTaskFromFile(int verbose);
  // Writes the task file as a new file, flushed to the device, and renames
  // it over the old one: a crash during a save leaves the old file whole.
  // `flushTarget` (when given) runs after the progress was read and before
  // anything is written: the target's bytes reach the device before the
  // task file claims them; when it fails, the old task file stays.
  int saveTaskToFile(const std::function<bool()>& flushTarget = {});
  // Measures the length again (the cache answers only for what this process
  // measured itself). 1 valid; 2 the length or, when the probe saw one, the
  // file's validator changed (DL025); 3 wrong slice layout,
  // or a target file shorter than the progress claims (DL026); or the
  // EnumErrorCode of a probe that measured no length (6, 13, 16).
  int checkTaskFile(int verbose);
  bool taskFileExists() const;
  // Frees the tasks and deletes the target and the task file: the download
  // starts from nothing.
  void discardDownload();

  // The slice size that the current download settings give for a length,
  // within the bounds above.
  static int64_t planSliceSize(int64_t contentLength);
  // Replaces the slices by one task over the whole file, written from byte 0:
  // for a server that ignores ranges.
  void useOneStream(const char* reason);
  // Hands the second half of what a running slice still misses to a helper
  // task, first in todo; null when the slice is too close to its end or is
  // the one stream over the whole file. The caller holds the file mutex.
  CTask* splitTask(CTask* task);

  std::string RemotePath;
  std::string LocalPath;
  std::string TaskFilePath;
  int64_t ContentLength = 0;
  int64_t DownloadTime = 0;  // ms of active downloading, across attempts
  int64_t SliceSize = kDefaultSliceSize;
  // What the last probe showed: its answer to a ranged request was a 206. A
  // length from the cache shows nothing.
  bool AcceptsRanges = true;
  // The file's ETag (a strong one), else its Last-Modified: kept in the
  // task file and sent as "If-Range" with every slice. Empty: none known.
  std::string Validator;
  // False: no validator is taken, kept or sent (a server whose validators
  // cannot be trusted).
  bool UseValidators = true;
  // When set and true, probes end and no more are made (result 16).
  const std::atomic<bool>* Cancel = nullptr;

 private:
  bool cancelled() const { return Cancel && *Cancel; }
  // The length at the manager's URL, following redirects hop by hop so that
  // the final address becomes the manager's URL; 0 when unknown.
  int64_t measureContentLength(CURLcode& result, std::string& cdn, int verbose);
  // Up to 10 probes, 100 ms apart: the length (0 when none or beyond the
  // limit), the last result and, when `eventText` is set, the record of
  // the probes reported.
  int64_t probeLength(CURLcode& result, std::string& cdn, const std::string& eventText, int verbose);
  // The length in the headers of a probe's final answer, stored in the
  // length cache; 0 when there is none. Notes whether ranges are served and
  // the file's validator.
  int64_t measuredLength(const std::string& headers, long status, int verbose);
  // The slice layout of a fresh plan and a target that holds every byte
  // the tasks claim.
  bool layoutValid();
  bool targetHoldsProgress() const;
  std::string taskFileText() const;
  std::string probedValidator_;
  void makeTasks(int64_t count, const std::string& cdn, int verbose);
  void logListSizes(const char* what) const;
};
