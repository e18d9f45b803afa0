// libFuzzer target: any bytes as the SDK's queue file. Reading, re-queueing,
// adding and removing entries must neither crash nor hang, and every write
// leaves a document whose send_count matches its send_item array.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "CQueueFile.h"

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    const std::filesystem::path path = base / ("sdk_queue_fuzz_" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

void CheckConsistent(const CQueueFile& file) {
  const Json::Value doc = file.Read();
  if (!doc["send_item"].isArray() || doc["send_count"].asInt() != static_cast<int>(doc["send_item"].size()))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path path = Folder() / "tempga.wk";
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
  CQueueFile file(path.wstring());
  int counted = 0;
  const std::vector<CQueueFile::Entry> pending = file.Pending(&counted);
  const std::string key = "2::1700000000000::Download::1.Launch";
  file.Add(key, "content");
  CheckConsistent(file);
  for (const CQueueFile::Entry& entry : pending) file.Remove(entry.guid, entry.content);
  file.Remove(key, "content");
  CheckConsistent(file);
  return 0;
}
