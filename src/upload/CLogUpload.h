// The diagnostics upload: one file of the log folder is copied, zipped and
// posted as a multipart form to the log collection service
// ("/v1/productLogUpload"), by a short-lived copy of the installer.
#pragma once

#include <string>

// The deployment's log collection service (SETUP_LOGUPLOAD_HOST); a test
// build's settings file may name another host (ServiceHost). Always HTTPS.
std::string LogUploadUrl();

class CLogUpload {
 public:
  static constexpr char kProductId[] = "RERodaruze2900";

  // Bounds of one upload, so that a silent service cannot keep the copy
  // that uploads alive.
  struct Limits {
    long connectSeconds = 15;
    long totalSeconds = 120;
  };

  // Results of Upload: whether an archive was made and offered (sent or
  // not), or nothing was.
  enum UploadResult : int { kUploadTried = 0, kNothingUploaded = -1 };
  // Results of Send.
  enum SendResult : int { kSent = 0, kBadArchivePath = -1, kNoHttpHandle = -2, kNotAccepted = -3 };

  CLogUpload(std::wstring logFolder, std::string url);
  CLogUpload(std::wstring logFolder, std::string url, Limits limits);

  // Uploads `fileName` of the log folder under the category ("default" when
  // empty). kNothingUploaded when the name is not a plain name of a file in
  // the log folder, the copy fails or the archive cannot be made; otherwise
  // kUploadTried. Only a sent archive is deleted, with its copy.
  int Upload(const std::wstring& fileName, const std::string& category);

  // The POST of one archive (its path in UTF-8): kSent when the service
  // answered 200; kBadArchivePath for a path of 4 characters or fewer;
  // kNoHttpHandle without an HTTP handle; kNotAccepted when the transfer
  // failed or the status was not 200.
  int Send(const std::string& archivePath, const std::string& uploadName, const std::string& productId,
           const std::string& version, const std::string& catalogue);

 private:
  std::wstring logFolder_;
  std::string url_;
  Limits limits_;
};
