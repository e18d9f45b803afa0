#include "upload/CUploadArchive.h"

#include <minizip/zip.h>

#include <cstdio>
#include <vector>

#include "platform/Platform.h"
#include "platform/Process.h"

namespace {

// Streams the file into the open entry; false on a read or write failure.
bool CopyInto(zipFile zip, FILE* in) {
  std::vector<char> buffer(64 * 1024);
  for (size_t count; (count = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
    if (zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(count)) != ZIP_OK) return false;
  return !std::ferror(in);
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

// minizip's file functions, except that the archive (named by a wide path)
// is created without following a link: the log folder lies under the
// user's APPDATA.
voidpf ZCALLBACK CreateArchiveFile(voidpf, const void* path, int mode) {
  if (!(mode & ZLIB_FILEFUNC_MODE_CREATE)) return nullptr;
  uint32_t error = 0;
  return platform::OpenFile(*static_cast<const std::wstring*>(path), "wb", &error);
}

bool WriteArchive(const std::wstring& archivePath, const std::string& entryName, FILE* in,
                  const platform::LocalTime& time) {
  zlib_filefunc64_def files;
  fill_fopen64_filefunc(&files);
  files.zopen64_file = &CreateArchiveFile;
  zipFile zip = zipOpen2_64(&archivePath, APPEND_STATUS_CREATE, nullptr, &files);
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
  uint32_t error = 0;
  FILE* in = platform::OpenFile(contentPath, "rb", &error);
  if (!in) return false;
  const bool written = WriteArchive(archivePath, entryName, in, time);
  std::fclose(in);
  if (!written) platform::RemoveFile(archivePath);
  return written;
}
