#include "upload/CLogUpload.h"

#include <curl/curl.h>
#include <easylogging++.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "base/ScrambledText.h"
#include "download/CLibcurlTool.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "settings/LocalSettings.h"
#include "system/FuntionImpl.h"
#include "upload/CUploadArchive.h"
#include "upload/UploadNames.h"

// The deployment's log collection host; a demo or test build may set another.
#ifndef SETUP_LOGUPLOAD_HOST
#define SETUP_LOGUPLOAD_HOST "logupload.quenlo-example.com"
#endif

namespace {

// Both files are opened without following a link: a link in the source's
// place would send another file, one in the copy's place would overwrite
// another file (the log folder lies under the user's APPDATA).
bool CopyWithoutLinks(const std::wstring& source, const std::wstring& copy, uint32_t* error) {
  FILE* in = platform::OpenFile(source, "rb", error);
  if (!in) return false;
  FILE* out = platform::OpenFile(copy, "wb", error);
  bool copied = out != nullptr;
  std::vector<char> buffer(64 * 1024);
  for (size_t count; copied && (count = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
    copied = std::fwrite(buffer.data(), 1, count, out) == count;
  copied = copied && !std::ferror(in);
  if (out && std::fclose(out) != 0) copied = false;
  std::fclose(in);
  return copied;
}

// A name of a regular file in the log folder, and nothing that could reach
// beyond it.
bool IsUploadable(const std::wstring& logFolder, const std::wstring& fileName) {
  if (logFolder.empty() || !upload::IsPlainFileName(fileName)) return false;
  const std::wstring source = FuntionImpl::JoinPath(logFolder, fileName);
  return platform::FileExists(source) && !platform::IsDirectory(source);
}

}  // namespace

std::string LogUploadUrl() {
  std::string host = LocalSettings::ServiceHost();
  if (host.empty()) host = SCRAMBLED_TEXT(SETUP_LOGUPLOAD_HOST);
  return "https://" + host + "/v1/productLogUpload";
}

CLogUpload::CLogUpload(std::wstring logFolder, std::string url)
    : CLogUpload(std::move(logFolder), std::move(url), Limits()) {}

CLogUpload::CLogUpload(std::wstring logFolder, std::string url, Limits limits)
    : logFolder_(std::move(logFolder)), url_(std::move(url)), limits_(limits) {}

int CLogUpload::Upload(const std::wstring& fileName, const std::string& category) {
  const std::string name = platform::WideToUtf8(fileName);
  if (!IsUploadable(logFolder_, fileName)) {
    LOG(INFO) << " [Error]: Upload refused, not a file of the log folder: " << name;
    return kNothingUploaded;
  }
  // A copy, so that a log still being written can be read.
  const std::wstring source = FuntionImpl::JoinPath(logFolder_, fileName);
  const std::wstring copy = source + L"_copy.log";
  uint32_t error = 0;
  if (!CopyWithoutLinks(source, copy, &error)) {
    LOG(INFO) << " [Error]: Upload copy of " << name << " failed, error " << error;
    return kNothingUploaded;
  }
  const platform::LocalTime time = platform::System().Now();
  const std::wstring archive = upload::ArchivePath(logFolder_, time);
  if (!CUploadArchive::Create(archive, name, copy, time)) {
    LOG(INFO) << " [Error]: Upload archive " << platform::WideToUtf8(archive) << " could not be made";
    platform::RemoveFile(copy);
    return kNothingUploaded;
  }
  std::string uploadName = upload::UploadName(fileName, time);
  if (uploadName.empty()) uploadName = upload::NoNameUploadName(archive, platform::System().Now());
  // libcurl (built with UNICODE on Windows) opens a UTF-8 file name by its
  // wide form: a profile path outside the ANSI code page reaches it whole.
  const int sent = Send(platform::WideToUtf8(archive), uploadName, kProductId,
                        FuntionImpl::GetFileVersion(platform::System().ModulePath()),
                        category.empty() ? "default" : category);
  if (sent == kSent) {
    platform::RemoveFile(archive);
    platform::RemoveFile(copy);
  }
  return kUploadTried;
}

int CLogUpload::Send(const std::string& archivePath, const std::string& uploadName,
                     const std::string& productId, const std::string& version, const std::string& catalogue) {
  if (archivePath.size() <= 4) return kBadArchivePath;
  CURL* handle = curl_easy_init();
  if (!handle) {
    std::printf("Failed to initialize cURL\n");
    return kNoHttpHandle;
  }
  CLibcurlTool tool(handle);
  CLibcurlTool::MultipartPost post;
  post.fileField = "file";
  post.filePath = archivePath;
  post.fileName = uploadName;
  post.fields = {{"product_id", productId}, {"version", version}, {"catalogue", catalogue}};
  post.connectSeconds = limits_.connectSeconds;
  post.totalSeconds = limits_.totalSeconds;
  std::string response;
  long status = 0;
  const CURLcode result = tool.httpPostMultipart(url_, post, response, status);
  std::printf("Response from server:%s\n", response.c_str());
  std::fflush(stdout);
  LOG(INFO) << " Log upload " << uploadName << " (" << catalogue << "): result " << static_cast<int>(result)
            << ", status " << status;
  return result == CURLE_OK && status == 200 ? kSent : kNotAccepted;
}
