// posix backend: resources of the program and file versions.
//
// The skin archive is linked into the program as the bytes between the
// symbols setup_skin_zip_begin and setup_skin_zip_end (see CMakeLists.txt);
// they are weak here, so that programs without the resource still link and
// simply find no resource.
//
// File versions: our Linux programs carry the ELF section "setup_version"
// (written by PosixSystem.cpp); the reader parses the section headers of
// any ELF file (32 or 64 bit, in the host's byte order) and answers false /
// empty for files without that section.
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"

extern "C" {
extern const char setup_skin_zip_begin[] __attribute__((weak));
extern const char setup_skin_zip_end[] __attribute__((weak));
}

namespace platform {

namespace {

constexpr int kSkinResourceId = 138;
const char kVersionSection[] = "setup_version";
const char kRecordMagic[] = "SETUPVER1";
constexpr uint64_t kMaxRecordSize = 64 * 1024;

class File {
 public:
  explicit File(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat st;
    if (fd_ >= 0 && fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<uint64_t>(st.st_size);
  }
  ~File() {
    if (fd_ >= 0) close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool ok() const { return fd_ >= 0 && size_ > 0; }
  uint64_t size() const { return size_; }
  // Exactly `length` bytes at `offset`, inside the file.
  bool Read(uint64_t offset, void* data, uint64_t length) const {
    if (offset > size_ || length > size_ - offset) return false;
    char* out = static_cast<char*>(data);
    while (length > 0) {
      ssize_t n = pread(fd_, out, length, static_cast<off_t>(offset));
      if (n <= 0) return false;
      out += n;
      offset += static_cast<uint64_t>(n);
      length -= static_cast<uint64_t>(n);
    }
    return true;
  }

 private:
  int fd_;
  uint64_t size_ = 0;
};

template <typename Ehdr, typename Shdr>
bool FindSection(const File& file, const char* wanted, std::string* content) {
  Ehdr header;
  if (!file.Read(0, &header, sizeof header)) return false;
  if (header.e_shoff == 0 || header.e_shentsize != sizeof(Shdr)) return false;
  Shdr first;
  if (!file.Read(header.e_shoff, &first, sizeof first)) return false;
  uint64_t count = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
  uint64_t namesIndex = header.e_shstrndx == SHN_XINDEX ? first.sh_link : header.e_shstrndx;
  if (count == 0 || count > 65536 * 16 || namesIndex >= count) return false;
  std::vector<Shdr> sections(static_cast<size_t>(count));
  if (!file.Read(header.e_shoff, sections.data(), count * sizeof(Shdr))) return false;
  const Shdr& namesHeader = sections[static_cast<size_t>(namesIndex)];
  if (namesHeader.sh_type == SHT_NOBITS || namesHeader.sh_size > 16 * 1024 * 1024) return false;
  std::string names(static_cast<size_t>(namesHeader.sh_size), '\0');
  if (!file.Read(namesHeader.sh_offset, &names[0], names.size())) return false;
  for (const Shdr& section : sections) {
    if (section.sh_name >= names.size()) continue;
    if (std::strcmp(names.c_str() + section.sh_name, wanted) != 0) continue;
    if (section.sh_type == SHT_NOBITS || section.sh_size == 0 || section.sh_size > kMaxRecordSize)
      return false;
    content->assign(static_cast<size_t>(section.sh_size), '\0');
    return file.Read(section.sh_offset, &(*content)[0], content->size());
  }
  return false;
}

// The five texts of the version record (version, ProductName,
// ProductVersion, LegalCopyright, FileDescription).
bool ReadVersionRecord(const std::wstring& path, std::vector<std::string>* texts) {
  File file(posix::NativePath(path));
  if (!file.ok()) return false;
  unsigned char ident[EI_NIDENT];
  if (!file.Read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return false;
  const unsigned char hostData =
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      ELFDATA2LSB;
#else
      ELFDATA2MSB;
#endif
  if (ident[EI_DATA] != hostData) return false;
  std::string content;
  bool found = false;
  if (ident[EI_CLASS] == ELFCLASS64) found = FindSection<Elf64_Ehdr, Elf64_Shdr>(file, kVersionSection, &content);
  else if (ident[EI_CLASS] == ELFCLASS32) found = FindSection<Elf32_Ehdr, Elf32_Shdr>(file, kVersionSection, &content);
  if (!found) return false;
  // Magic, then the texts, each ending in NUL (a missing last NUL is fine).
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t nul = content.find('\0', pos);
    if (nul == std::string::npos) nul = content.size();
    parts.push_back(content.substr(pos, nul - pos));
    pos = nul + 1;
  }
  if (parts.empty() || parts[0] != kRecordMagic) return false;
  parts.erase(parts.begin());
  parts.resize(5);  // missing texts are empty
  *texts = parts;
  return true;
}

}  // namespace

bool LoadModuleResource(const wchar_t* type, int id, const void** data, size_t* size) {
  if (!type || std::wcscmp(type, L"ZIPRES") != 0 || id != kSkinResourceId) return false;
  const char* begin = setup_skin_zip_begin;
  const char* end = setup_skin_zip_end;
  if (!begin || !end || end < begin) return false;
  if (data) *data = begin;
  if (size) *size = static_cast<size_t>(end - begin);
  return true;
}

bool ReadFileVersion(const std::wstring& path, FileVersion* version) {
  std::vector<std::string> texts;
  if (!ReadVersionRecord(path, &texts)) return false;
  unsigned numbers[4] = {0, 0, 0, 0};
  const std::string& text = texts[0];
  size_t pos = 0;
  for (int i = 0; i < 4 && pos <= text.size(); ++i) {
    size_t dot = text.find('.', pos);
    if (dot == std::string::npos) dot = text.size();
    numbers[i] = static_cast<unsigned>(std::strtoul(text.substr(pos, dot - pos).c_str(), nullptr, 10));
    pos = dot + 1;
  }
  if (version) {
    version->major = static_cast<uint16_t>(numbers[0]);
    version->minor = static_cast<uint16_t>(numbers[1]);
    version->build = static_cast<uint16_t>(numbers[2]);
    version->revision = static_cast<uint16_t>(numbers[3]);
  }
  return true;
}

bool ReadFileVersionStrings(const std::wstring& path, std::wstring out[4]) {
  for (int i = 0; i < 4; ++i) out[i].clear();
  std::vector<std::string> texts;
  if (!ReadVersionRecord(path, &texts)) return false;
  for (int i = 0; i < 4; ++i) out[i] = Utf8ToWide(texts[static_cast<size_t>(i) + 1]);
  return true;
}

}  // namespace platform
