// A deflate ZIP file with the given members, returned as bytes: resource
// archives for tests.
#pragma once

#include <minizip/zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "TempFolder.h"

using Members = std::vector<std::pair<std::string, std::string>>;

inline std::string ZipBytes(const Members& members) {
  TempFolder folder;
  const std::filesystem::path path = folder.path() / "members.zip";
  zipFile zip = zipOpen64(path.string().c_str(), APPEND_STATUS_CREATE);
  EXPECT_NE(zip, nullptr);
  for (const auto& [name, content] : members) {
    zipOpenNewFileInZip64(zip, name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                          Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0);
    zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return bytes;
}
