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

  CLogUpload(std::wstring logFolder, std::string url);
  CLogUpload(std::wstring logFolder, std::string url, Limits limits);

  // Uploads `fileName` of the log folder under the category ("default" when
  // empty). -1, with nothing uploaded, when the name is not a plain name of
  // a file in the log folder, the copy fails or the archive cannot be made;
  // otherwise 0. Only a sent archive is deleted, with its copy.
  int Upload(const std::wstring& fileName, const std::string& category);

  // The POST of one archive (its path in UTF-8): 0 when the service answered
  // 200; -1 for an archive path of 4 characters or fewer; -2 without an HTTP
  // handle; -3 when the transfer failed or the status was not 200.
  int Send(const std::string& archivePath, const std::string& uploadName, const std::string& productId,
           const std::string& version, const std::string& catalogue);

 private:
  std::wstring logFolder_;
  std::string url_;
  Limits limits_;
};
