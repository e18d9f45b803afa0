// The toolkit's resource archive: a ZIP file held in memory (layouts,
// language files, pictures, the product configuration) whose members are
// read by relative path.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace toolkit {

class ResourceArchive {
 public:
  // Limits that keep a hostile archive from exhausting memory or time.
  static constexpr size_t kMaxMembers = 100000;
  static constexpr size_t kMaxMemberBytes = 64u << 20;

  ResourceArchive();
  ~ResourceArchive();
  ResourceArchive(const ResourceArchive&) = delete;
  ResourceArchive& operator=(const ResourceArchive&) = delete;

  // Replaces the content with a copy of the bytes. False, leaving the archive
  // empty, when they are not a readable ZIP file. Any bytes are safe input.
  bool Open(const void* data, size_t size);
  void Close();
  bool IsOpen() const;

  // Reads a member; "\\" and "/" are the same separator in the path. False
  // for a missing member or one whose data is damaged or over the limit.
  bool ReadMember(const std::wstring& path, std::string* content) const;
  // Every member's name with "/" between folders, in sorted order.
  std::vector<std::string> MemberNames() const;

  // The archive the toolkit's windows load their resources from.
  static ResourceArchive& Shared();

 private:
  struct Handle;  // the minizip handle over bytes_
  bool IndexMembers();

  mutable std::mutex lock_;  // one minizip handle serves every reader
  std::vector<unsigned char> bytes_;
  std::unique_ptr<Handle> handle_;
  // Member name with "/" separators -> its place in the central directory.
  struct Position {
    unsigned long long directoryOffset = 0, fileNumber = 0;
  };
  std::map<std::string, Position> members_;
};

}  // namespace toolkit
