#include "toolkit/ResourceArchive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/Platform.h"

namespace toolkit {

namespace {

// ---- minizip IO over a byte buffer ------------------------------------------

struct MemoryCursor {
  const std::vector<unsigned char>* bytes;
  uint64_t position;
};

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int mode) {
  if (mode & ZLIB_FILEFUNC_MODE_WRITE) return nullptr;
  auto* bytes = static_cast<const std::vector<unsigned char>*>(opaque);
  return new (std::nothrow) MemoryCursor{bytes, 0};
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* cursor = static_cast<MemoryCursor*>(stream);
  const uint64_t left = cursor->bytes->size() - cursor->position;
  const uLong count = static_cast<uLong>(std::min<uint64_t>(size, left));
  if (count) std::memcpy(buffer, cursor->bytes->data() + cursor->position, count);
  cursor->position += count;
  return count;
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream) {
  return static_cast<MemoryCursor*>(stream)->position;
}

// Positions outside the buffer are refused rather than clamped, so that a
// damaged offset shows up as a read error.
long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* cursor = static_cast<MemoryCursor*>(stream);
  const uint64_t size = cursor->bytes->size();
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = cursor->position;
  else if (origin == ZLIB_FILEFUNC_SEEK_END) base = size;
  else if (origin != ZLIB_FILEFUNC_SEEK_SET) return -1;
  if (offset > size - base) return -1;
  cursor->position = base + offset;
  return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf stream) {
  delete static_cast<MemoryCursor*>(stream);
  return 0;
}

int ZCALLBACK TestErrorMemory(voidpf, voidpf) { return 0; }

std::string NormalizedName(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

}  // namespace

struct ResourceArchive::Handle {
  unzFile file = nullptr;
  ~Handle() {
    if (file) unzClose(file);
  }
};

ResourceArchive::ResourceArchive() = default;
ResourceArchive::~ResourceArchive() = default;

ResourceArchive& ResourceArchive::Shared() {
  static ResourceArchive archive;
  return archive;
}

bool ResourceArchive::Open(const void* data, size_t size) {
  Close();
  std::lock_guard<std::mutex> guard(lock_);
  if (!data || size == 0) return false;
  const auto* begin = static_cast<const unsigned char*>(data);
  bytes_.assign(begin, begin + size);

  zlib_filefunc64_def io{};
  io.zopen64_file = OpenMemory;
  io.zread_file = ReadMemory;
  io.zwrite_file = WriteMemory;
  io.ztell64_file = TellMemory;
  io.zseek64_file = SeekMemory;
  io.zclose_file = CloseMemory;
  io.zerror_file = TestErrorMemory;
  io.opaque = &bytes_;
  handle_ = std::make_unique<Handle>();
  handle_->file = unzOpen2_64("resource", &io);
  if (handle_->file && IndexMembers()) return true;
  handle_.reset();
  members_.clear();
  bytes_.clear();
  return false;
}

void ResourceArchive::Close() {
  std::lock_guard<std::mutex> guard(lock_);
  handle_.reset();
  members_.clear();
  bytes_.clear();
}

bool ResourceArchive::IsOpen() const {
  std::lock_guard<std::mutex> guard(lock_);
  return handle_ != nullptr;
}

// Walks the central directory once; later look-ups jump straight to a member.
bool ResourceArchive::IndexMembers() {
  unzFile file = handle_->file;
  int result = unzGoToFirstFile(file);
  while (result == UNZ_OK && members_.size() < kMaxMembers) {
    unz_file_info64 info{};
    char name[1024];
    if (unzGetCurrentFileInfo64(file, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
      return false;
    unz64_file_pos position{};
    if (info.size_filename < sizeof name && unzGetFilePos64(file, &position) == UNZ_OK)
      members_.emplace(NormalizedName(std::string(name, info.size_filename)),
                       Position{position.pos_in_zip_directory, position.num_of_file});
    result = unzGoToNextFile(file);
  }
  return result == UNZ_OK || result == UNZ_END_OF_LIST_OF_FILE;
}

std::vector<std::string> ResourceArchive::MemberNames() const {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> names;
  for (const auto& member : members_) names.push_back(member.first);
  return names;
}

bool ResourceArchive::ReadMember(const std::wstring& path, std::string* content) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (!handle_ || !content) return false;
  const auto found = members_.find(NormalizedName(platform::WideToUtf8(path)));
  if (found == members_.end()) return false;

  unzFile file = handle_->file;
  const unz64_file_pos position{found->second.directoryOffset, found->second.fileNumber};
  unz_file_info64 info{};
  if (unzGoToFilePos64(file, &position) != UNZ_OK ||
      unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
      info.uncompressed_size > kMaxMemberBytes || unzOpenCurrentFile(file) != UNZ_OK)
    return false;

  std::string data;
  data.reserve(static_cast<size_t>(info.uncompressed_size));
  char chunk[16384];
  int count = 0;
  while ((count = unzReadCurrentFile(file, chunk, sizeof chunk)) > 0 &&
         data.size() + count <= info.uncompressed_size)
    data.append(chunk, count);
  // The CRC is checked only when the declared size was read exactly.
  const bool complete = count == 0 && data.size() == info.uncompressed_size;
  if (unzCloseCurrentFile(file) != UNZ_OK || !complete) return false;
  content->swap(data);
  return true;
}

}  // namespace toolkit
