#include "upload/CUploadArchive.h"

#include <minizip/zip.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/Platform.h"

namespace {

// Streams the file into the open entry; false on a read or write failure.
bool CopyInto(zipFile zip, std::ifstream& in) {
  std::vector<char> buffer(64 * 1024);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto count = static_cast<unsigned>(in.gcount());
    if (count > 0 && zipWriteInFileInZip(zip, buffer.data(), count) != ZIP_OK) return false;
  }
  return in.eof();
}

// A zeroed date would read as 1980-00-00, which archive tools reject.
zip_fileinfo EntryInfo(const platform::LocalTime& time) {
  zip_fileinfo info{};
  info.tmz_date.tm_sec = time.second;
  info.tmz_date.tm_min = time.minute;
  info.tmz_date.tm_hour = time.hour;
  info.tmz_date.tm_mday = time.day;
  info.tmz_date.tm_mon = time.month - 1;
  info.tmz_date.tm_year = time.year;
  return info;
}

bool WriteArchive(const std::wstring& archivePath, const std::string& entryName, std::ifstream& in,
                  const platform::LocalTime& time) {
  // minizip opens narrow paths; the system's code page is what it reads.
  zipFile zip = zipOpen64(platform::WideToAnsi(archivePath).c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  zip_fileinfo info = EntryInfo(time);
  bool written = zipOpenNewFileInZip64(zip, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                       Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
  written = written && CopyInto(zip, in);
  written = zipCloseFileInZip(zip) == ZIP_OK && written;
  return zipClose(zip, nullptr) == ZIP_OK && written;
}

}  // namespace

bool CUploadArchive::Create(const std::wstring& archivePath, const std::string& entryName,
                            const std::wstring& contentPath, const platform::LocalTime& time) {
  std::ifstream in(std::filesystem::path(contentPath), std::ios::binary);
  if (!in) return false;
  if (WriteArchive(archivePath, entryName, in, time)) return true;
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(archivePath), ignored);
  return false;
}
