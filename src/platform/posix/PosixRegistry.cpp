// posix backend: the file-backed registry store (see PosixRegistry.h).
#include "platform/posix/PosixRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace platform {
namespace posix {

namespace {

std::mutex& ProcessLock() {
  static std::mutex lock;
  return lock;
}

struct Value {
  std::wstring name;
  std::wstring text;
};
struct Key {
  std::wstring name;
  std::vector<Value> values;
};

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
      return false;
  return true;
}

// Escapes the characters of `special` (and "%", CR, LF) as %XX of UTF-8.
std::string Escape(const std::wstring& text, const char* special, bool escapeLeading) {
  const std::string utf8 = WideToUtf8(text);
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    bool escape = c == '%' || c == '\r' || c == '\n' || c == '\0';
    for (const char* s = special; *s && !escape; ++s) escape = c == static_cast<unsigned char>(*s);
    if (i == 0 && escapeLeading) escape = escape || c == '[' || c == ';' || c == ' ' || c == '\t';
    if (escape) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::wstring Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return Utf8ToWide(out);
}

std::vector<Key> ParseStore(const std::string& content) {
  std::vector<Key> keys;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close == std::string::npos || close == 0) continue;
      Key key;
      key.name = Unescape(line.substr(1, close - 1));
      keys.push_back(std::move(key));
      continue;
    }
    if (keys.empty()) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    Value value;
    value.name = Unescape(line.substr(0, eq));
    value.text = Unescape(line.substr(eq + 1));
    keys.back().values.push_back(std::move(value));
  }
  return keys;
}

std::string FormatStore(const std::vector<Key>& keys) {
  std::string out = "; Machine-wide settings of the web installer (registry stand-in).\n";
  for (const Key& key : keys) {
    out += "[" + Escape(key.name, "]", false) + "]\n";
    for (const Value& value : key.values)
      out += Escape(value.name, "=", true) + "=" + Escape(value.text, "", false) + "\n";
  }
  return out;
}

bool ReadAll(int fd, std::string* content) {
  content->clear();
  char buffer[8192];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    content->append(buffer, static_cast<size_t>(n));
  }
}

bool ReadFile(const std::string& path, std::string* content) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    content->clear();
    return errno == ENOENT;  // no file yet: an empty store
  }
  bool ok = ReadAll(fd, content);
  close(fd);
  return ok;
}

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

void MakeParents(const std::string& file) {
  for (size_t i = 1; i < file.size(); ++i) {
    if (file[i] == '/') mkdir(file.substr(0, i).c_str(), 0755);
  }
}

std::string Folder(const std::string& file) {
  size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string(".") : slash == 0 ? "/" : file.substr(0, slash);
}

// flock on "<file>.lock" for the life of the object.
class FileLock {
 public:
  FileLock(const std::string& file, bool exclusive, bool create) {
    if (create) MakeParents(file);
    fd_ = open((file + ".lock").c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (fd_ < 0) return;
    while (flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) {
        close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // releases the flock
  }
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace

std::string RegistryStore::DefaultPath() {
  std::string base;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "/tmp") + "/.local/share";
  }
  return base + "/websetup/registry.ini";
}

RegistryStore RegistryStore::Default() { return RegistryStore(DefaultPath()); }

RegistryStore RegistryStore::User() {
  return RegistryStore(Folder(DefaultPath()) + "/user-registry.ini");
}

bool RegistryStore::HasKey(const std::wstring& key) const {
  std::lock_guard<std::mutex> guard(ProcessLock());
  FileLock lock(file_, false, false);
  std::string content;
  if (!ReadFile(file_, &content)) return false;
  for (const Key& k : ParseStore(content)) {
    if (EqualNoCase(k.name, key) ||
        (k.name.size() > key.size() && k.name[key.size()] == L'\\' &&
         EqualNoCase(k.name.substr(0, key.size()), key)))
      return true;
  }
  return false;
}

bool RegistryStore::Read(const std::wstring& key, const std::wstring& name,
                         std::wstring* value) const {
  std::lock_guard<std::mutex> guard(ProcessLock());
  FileLock lock(file_, false, false);  // no lock file yet: nothing written yet
  std::string content;
  if (!ReadFile(file_, &content)) return false;
  for (const Key& k : ParseStore(content)) {
    if (!EqualNoCase(k.name, key)) continue;
    for (const Value& v : k.values) {
      if (EqualNoCase(v.name, name)) {
        if (value) *value = v.text;
        return true;
      }
    }
  }
  return false;
}

bool RegistryStore::Write(const std::wstring& key, const std::wstring& name,
                          const std::wstring& value) const {
  std::lock_guard<std::mutex> guard(ProcessLock());
  FileLock lock(file_, true, true);
  if (!lock.locked()) return false;
  std::string content;
  if (!ReadFile(file_, &content)) return false;
  std::vector<Key> keys = ParseStore(content);
  Key* target = nullptr;
  for (Key& k : keys)
    if (EqualNoCase(k.name, key)) { target = &k; break; }
  if (!target) {
    keys.push_back(Key{key, {}});
    target = &keys.back();
  }
  bool replaced = false;
  for (Value& v : target->values) {
    if (EqualNoCase(v.name, name)) {
      v.text = value;
      replaced = true;
      break;
    }
  }
  if (!replaced) target->values.push_back(Value{name, value});

  const std::string temp = file_ + ".tmp." + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, FormatStore(keys)) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), file_.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  // Make the rename durable as well (best effort).
  int dir = open(Folder(file_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

}  // namespace posix
}  // namespace platform
