// The slice tasks of one download: measures the remote file, cuts it into
// slices, and keeps them in the task file beside the target so that a later
// attempt resumes every slice where it stopped.
#pragma once

#include <curl/curl.h>

#include <string>

#include "download/CTaskManager.h"

class CDownloadTaskManager : public CTaskManager {
 public:
  static constexpr int64_t kDefaultSliceSize = 4194304;

  CDownloadTaskManager(const std::string& url, const std::string& localPath,
                       const std::string& taskFile);

  // Resumes from a valid task file, or starts over with a fresh slice plan.
  // Returns an EnumErrorCode: 1, 6 or 13.
  int loadDownloadTask(bool, std::string eventText, int verbose);
  // Probes the length (up to 10 calls) and creates the slices: 1, 6 or 13.
  int generateDownloadTask(bool, std::string eventText, int verbose);
  // The remote length (0 when unknown), following redirects by hand so that
  // the final address becomes the manager's URL.
  int64_t getContentLength(CURLcode& result, std::string& cdn, int verbose);
  // False as soon as a task of the file carried a status.
  bool loadTaskFromFile(int verbose);
  // Writes the task file as a new file, flushed to the device, and renames
  // it over the old one: a crash during a save leaves the old file whole.
  int saveTaskToFile();
  // 1 valid, 2 the length changed (DL025), 3 wrong slice layout (DL026).
  int checkTaskFile(int verbose);
  bool taskFileExists() const;

  // The slice size that the current download settings give for a length.
  static int64_t planSliceSize(int64_t contentLength);

  std::string RemotePath;
  std::string LocalPath;
  std::string TaskFilePath;
  int64_t ContentLength = 0;
  int64_t DownloadTime = 0;  // ms of active downloading, across attempts
  int64_t SliceSize = kDefaultSliceSize;

 private:
  std::string taskFileText() const;
  void makeTasks(int64_t count, const std::string& cdn, int verbose);
  void logListSizes(const char* what) const;
};
