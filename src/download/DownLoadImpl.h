// What the installer calls to download a file and to check one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {
class PinnedFile;
}

class CDownLoadImpl {
 public:
  // Receives (downloaded, total) bytes of a main download on the calling
  // thread, a few times a second. The main window installs it.
  using ProgressCallback = std::function<void(int64_t downloaded, int64_t total)>;
  static void SetProgressCallback(ProgressCallback callback);

  // One download attempt of url into localPath, resuming from the task file
  // localPath + ".xml". Returns an EnumErrorCode; cdnInfo receives the CDN
  // summary. mainDownload: verbose task logs, progress and the size check.
  // When *cancel turns true the attempt stops (within about a second and the
  // stop of its transfers) and returns Cancelled; the task file keeps what
  // was written.
  static int SuperDownloadFile(const wchar_t* url, const wchar_t* localPath, std::string& cdnInfo,
                               bool mainDownload, const std::atomic<bool>* cancel = nullptr);
  // Results of checkMD5.
  static constexpr int kHashesMatch = 1;
  static constexpr int kMd5Differs = 0;
  static constexpr int kSha256Differs = -1;
  // Hashes the held file through its handle: kHashesMatch when its MD5
  // (lower-case hex) equals md5 or md5Extra exactly and, unless sha256 is
  // empty, its SHA-256 (lower-case hex) equals sha256 exactly;
  // kSha256Differs when a given SHA-256 differs, whatever the MD5;
  // kMd5Differs otherwise. Writes the marker, the file's path + ".db":
  // tag + "###" + MD5, and when sha256 is given a second line with the
  // file's SHA-256 (a reader that knows only the MD5 reads the first line).
  static int checkMD5(const platform::PinnedFile& file, const std::wstring& md5, const std::wstring& md5Extra,
                      const std::wstring& tag, const std::wstring& sha256);

  // max(4, processors * 8 / 5)
  static int workerCount();
};

// True when the address contains "//cdn." or "//dl.".
bool isCdnUrl(const std::string& url);
bool isCdnUrl(const std::wstring& url);
