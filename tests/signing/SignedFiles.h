// The signature cases of one kind of file ("pe" or "elf"), made from the
// build's fixtures in <test program folder>/signing: the unsigned file, the
// copies signed by each test publisher, and copies of the pinned publisher's
// file damaged after signing. Only "pinned" may pass.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "system/FuntionImpl.h"

namespace signing {

inline std::filesystem::path FixtureFolder() {
  return std::filesystem::path(platform::RealSystem().ModulePath()).parent_path() / "signing";
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Case {
  std::string name;
  std::string bytes;
  bool accepted;
};

inline std::vector<Case> Cases(const std::string& kind) {
  const std::filesystem::path folder = FixtureFolder();
  const std::string unsigned_ = ReadBytes(folder / ("unsigned." + kind));
  const std::string pinned = ReadBytes(folder / ("pinned." + kind));
  // Content changed after signing: one byte of the payload.
  std::string tampered = pinned;
  tampered[unsigned_.size() * 3 / 4] ^= 0x01;
  // The signature loses its last 64 bytes.
  const std::string truncated = pinned.substr(0, pinned.size() - 64);
  // Bytes in the middle of the signature overwritten, its length kept.
  std::string garbled = pinned;
  const size_t middle = (unsigned_.size() + pinned.size()) / 2;
  for (size_t i = middle; i < middle + 32; ++i) garbled[i] ^= 0x5A;
  return {{"unsigned", unsigned_, false},
          {"selfsigned", ReadBytes(folder / ("selfsigned." + kind)), false},
          {"other", ReadBytes(folder / ("other." + kind)), false},
          {"pinned", pinned, true},
          {"tampered", tampered, false},
          {"truncated", truncated, false},
          {"garbled", garbled, false}};
}

// Writes every case of `kind` into `folder` (as NAME + extension) and checks
// the verdict of the built-in policy.
inline void ExpectOnlyPinnedPasses(const std::filesystem::path& folder, const std::string& kind,
                                   const std::string& extension) {
  for (const Case& c : Cases(kind)) {
    const std::filesystem::path file = folder / (c.name + extension);
    WriteBytes(file, c.bytes);
    EXPECT_EQ(FuntionImpl::VerifyEmbeddedSignature(file.wstring().c_str()), c.accepted) << kind << " " << c.name;
  }
}

}  // namespace signing
