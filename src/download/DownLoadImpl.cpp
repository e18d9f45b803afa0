#include "download/DownLoadImpl.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "download/CDownloader.h"
#include "download/DownloadEvents.h"
#include "platform/Digest.h"
#include "platform/Network.h"
#include "platform/PinnedFile.h"
#include "platform/Platform.h"
#include "platform/Process.h"

// After the engine's headers: on Windows it brings windows.h, which must
// follow libcurl's winsock2.h.
#include <easylogging++.h>

namespace {

constexpr uint32_t kStallMs = 60000;
constexpr uint32_t kNetworkExitPauseMs = 1100;
// The watch loop checks the rules and reports progress this often; the
// driver wakes it at once when every slice is complete.
constexpr uint32_t kWatchMs = 200;
constexpr int64_t kMinPackageSize = 1048576;
// Not an EnumErrorCode: a run that found the file replaced on the server.
constexpr int kFileChanged = -25;
constexpr size_t kHashBlockSize = 1048576;

std::mutex g_callbackLock;
CDownLoadImpl::ProgressCallback g_progress;

void ReportProgress(bool mainDownload, int64_t downloaded, int64_t total) {
  if (!mainDownload) return;
  std::lock_guard<std::mutex> lock(g_callbackLock);
  if (g_progress) g_progress(downloaded, total);
}

// Speeds of the attempt in MB/s.
struct SpeedRange {
  double lowest = 102400.0;
  double highest = 0.0;
  void add(double speed) {
    if (speed > highest) highest = speed;
    if (speed < lowest) lowest = speed;
  }
};

// Stops the attempt: the driver is told, waited for and the attempt reset,
// so the task file holds the progress made and the target file is closed.
// The CDN summary is read only after every worker has ended.
int StopAttempt(CDownloader& downloader, std::string& cdnInfo, int code) {
  downloader.joinDriver();
  cdnInfo = downloader.getCdnInfo();
  downloader.resetDownload();
  return code;
}

int NetworkExit(CDownloader& downloader, std::string& cdnInfo) {
  LOG(INFO) << "network is  no  alive";
  StopAttempt(downloader, cdnInfo, NetworkDown);
  std::this_thread::sleep_for(std::chrono::milliseconds(kNetworkExitPauseMs));
  return NetworkDown;
}

void LogAverageSpeed(const DownloadInfo& info, const SpeedRange& speeds) {
  const int64_t perSecond = info.ElapsedMs > 0 ? info.DownloadedBytes / info.ElapsedMs * 1000 : 0;
  const double average = std::trunc(perSecond / 1048576.0 * 100) / 100;
  char text[160];
  std::snprintf(text, sizeof text, " Average speed: %.1fMB/s", average);
  LOG(INFO) << text;
  std::snprintf(text, sizeof text, " Download speed range %.1f MB/s - %.1f MB/s", speeds.lowest,
                speeds.highest);
  LOG(INFO) << text;
}

int Complete(CDownloader& downloader, const std::string& localPath, std::string& cdnInfo,
             bool mainDownload, const SpeedRange& speeds) {
  downloader.joinDriver();
  const std::string summary = downloader.getCdnInfo();
  const DownloadInfo info = downloader.downloadInfo();
  const int64_t length = downloader.taskManager().ContentLength;
  downloader.resetDownload();
  if (info.DownloadedBytes < length) {
    cdnInfo = summary;
    LOG(INFO) << " lenth is error, less than remote file.";
    return LengthShort;
  }
  if (mainDownload && platform::FileSize(localPath) < kMinPackageSize) return FileTooSmall;
  cdnInfo = summary;
  if (!downloader.workDone()) {
    ReportProgress(mainDownload, length, length);
    return DownloadOk;
  }
  LogAverageSpeed(info, speeds);
  return DownloadOk;
}

// One run of the attempt. `validators`: the file's validator is kept and
// sent, so that a file replaced on the server shows (FileChanged).
int RunAttempt(const std::string& url, const std::string& target, std::string& cdnInfo, bool mainDownload,
               const std::atomic<bool>* cancel, bool validators) {
  CDownloader downloader(url.c_str(), target.c_str(), (target + ".xml").c_str(), CDownLoadImpl::workerCount());
  downloader.taskManager().Cancel = cancel;
  downloader.taskManager().UseValidators = validators;
  const int init = downloader.downloadInit(false, "Download", mainDownload);
  if (init != DownloadOk) return StopAttempt(downloader, cdnInfo, init);

  downloader.setRunState(CDownloader::kRunning);
  DownloadEvents::FunnelPair("Download", "SliceDownloading", "", "");
  // Only new bytes are progress: a slice that starts again lowers the count,
  // and bringing it back up to where it was keeps no attempt alive.
  uint32_t lastTick = platform::TickCount();
  int64_t lastBytes = 0;
  SpeedRange speeds;
  if (!platform::IsNetworkAlive()) return NetworkExit(downloader, cdnInfo);
  const size_t taskCount = downloader.taskManager().tasks().size();
  const bool cdn = isCdnUrl(url);
  for (;;) {
    const DownloadInfo info = downloader.downloadInfo();
    if (downloader.writeFailed()) {
      LOG(INFO) << " [Error]: the package cannot be written, the attempt ends";
      return StopAttempt(downloader, cdnInfo, WriteFailed);
    }
    if (downloader.fileChanged()) return StopAttempt(downloader, cdnInfo, kFileChanged);
    if (downloader.runState() == CDownloader::kStopping)
      return Complete(downloader, target, cdnInfo, mainDownload, speeds);
    if (info.MostBytes > lastBytes) {
      if (info.LastTick != lastTick)
        speeds.add((info.MostBytes - lastBytes) / 1048576.0 /
                   (static_cast<uint32_t>(info.LastTick - lastTick) / 1000.0));
      lastTick = info.LastTick;
    } else if (static_cast<uint32_t>(platform::TickCount() - lastTick) >= kStallMs) {
      LOG(INFO) << "too long no speed:";
      return StopAttempt(downloader, cdnInfo, NoSpeedTimeout);
    }
    lastBytes = info.MostBytes;
    if (cdn && static_cast<size_t>(info.FailedRequests) > 3 * taskCount) {
      LOG(INFO) << " ---cdn fail:" << info.FailedRequests << " > 3 * " << taskCount;
      return StopAttempt(downloader, cdnInfo, CdnRequestFailed);
    }
    if (cancel && *cancel) {
      LOG(INFO) << " Download cancelled by the caller";
      return StopAttempt(downloader, cdnInfo, Cancelled);
    }
    ReportProgress(mainDownload, info.DownloadedBytes, downloader.taskManager().ContentLength);
    if (!platform::IsNetworkAlive()) return NetworkExit(downloader, cdnInfo);
    downloader.progressEvent().WaitFor(kWatchMs);
  }
}

}  // namespace

void CDownLoadImpl::SetProgressCallback(ProgressCallback callback) {
  std::lock_guard<std::mutex> lock(g_callbackLock);
  g_progress = std::move(callback);
}

int CDownLoadImpl::workerCount() { return std::max(4, platform::ProcessorCount() * 8 / 5); }

// A file replaced on the server is downloaded again from nothing within the
// same attempt; that second run takes no validator, so that a server whose
// validators differ from answer to answer cannot restart it again.
int CDownLoadImpl::SuperDownloadFile(const wchar_t* url, const wchar_t* localPath,
                                     std::string& cdnInfo, bool mainDownload, const std::atomic<bool>* cancel) {
  // The engine works on narrow texts: a character the ANSI code page has no
  // exact form for would turn the address or the path into another one.
  std::string narrowUrl, target;
  if (!platform::WideToAnsiExact(url, &narrowUrl) || !platform::WideToAnsiExact(localPath, &target) ||
      target.empty()) {
    LOG(INFO) << " [Error]: the address or target " << platform::WideToUtf8(localPath)
              << " has no exact form in the system's code page, or no target was given";
    return OpenFileFailed;
  }
  const int result = RunAttempt(narrowUrl, target, cdnInfo, mainDownload, cancel, true);
  if (result != kFileChanged) return result;
  LOG(INFO) << " The file changed on the server: the download starts again";
  CDownloadTaskManager(narrowUrl, target, target + ".xml").discardDownload();
  DownloadEvents::Event("Other", "FlowError", "DL025");
  return RunAttempt(narrowUrl, target, cdnInfo, mainDownload, cancel, false);
}

int CDownLoadImpl::checkMD5(const platform::PinnedFile& file, const std::wstring& md5, const std::wstring& md5Extra,
                            const std::wstring& tag, const std::wstring& sha256) {
  // The SHA-256 only when the answer names one: without it the check is
  // the MD5 check alone, and the marker keeps its one line.
  const bool withSha256 = !sha256.empty();
  platform::Digest md5Hasher(platform::Digest::kMd5), sha256Hasher(platform::Digest::kSha256);
  std::vector<char> block(kHashBlockSize);
  int64_t offset = 0;
  for (size_t got; (got = file.ReadAt(offset, block.data(), block.size())) > 0; offset += static_cast<int64_t>(got)) {
    md5Hasher.Update(block.data(), got);
    if (withSha256) sha256Hasher.Update(block.data(), got);
  }
  const std::string digest = platform::Digest::Hex(md5Hasher.Final());
  const std::string sha256Digest = withSha256 ? platform::Digest::Hex(sha256Hasher.Final()) : std::string();
  LOG(INFO) << " MD5 of file " << platform::WideToUtf8(file.Path()) << " is " << digest;
  if (withSha256) LOG(INFO) << " SHA-256 of the file is " << sha256Digest;
  uint32_t error = 0;
  if (FILE* record = platform::OpenFile(file.Path() + L".db", "wb+", &error)) {
    std::string text = platform::WideToAnsi(tag) + "###" + digest;
    if (withSha256) text += "\n" + sha256Digest;
    std::fwrite(text.data(), 1, text.size(), record);
    std::fclose(record);
  }
  if (withSha256 && platform::AnsiToWide(sha256Digest) != sha256) return kSha256Differs;
  const std::wstring wide = platform::AnsiToWide(digest);
  return wide == md5 || wide == md5Extra ? kHashesMatch : kMd5Differs;
}

bool isCdnUrl(const std::string& url) {
  return url.find("//cdn.") != std::string::npos || url.find("//dl.") != std::string::npos;
}

bool isCdnUrl(const std::wstring& url) {
  return url.find(L"//cdn.") != std::wstring::npos || url.find(L"//dl.") != std::wstring::npos;
}

