#include "base/WholeFile.h"

#include <fstream>

bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes) {
  bytes->clear();
  std::ifstream in(path, std::ios::binary);
  char chunk[16 * 1024];
  while (in) {
    in.read(chunk, sizeof chunk);
    bytes->append(chunk, static_cast<size_t>(in.gcount()));
  }
  // Reading to the end sets eof; a failed open does not, and a read error
  // (a folder opened on Linux) sets bad.
  if (in.eof() && !in.bad()) return true;
  bytes->clear();
  return false;
}
