// posix backend: the machine-wide string store that stands in for the
// registry (HKEY_LOCAL_MACHINE) on Linux.
//
// One INI-like UTF-8 file: a section per key, a line per value,
//   [SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Client]
//   Version=4.8.09032
// Keys and value names compare case-insensitively (as in the registry) and
// keep the case they were first written with. "%", line breaks, and the
// characters that would end a section name or a value name ("]", "=") and a
// name's leading "[" or ";" are written as "%XX" (hexadecimal UTF-8 bytes),
// so any text round-trips exactly. A multi-string value is one text whose
// strings are separated by NUL characters (written as "%00").
//
// Every read and write opens the file afresh. A write rewrites the whole
// file into a temporary file beside it and renames it over the old one
// (atomic for readers), while holding an exclusive flock on a separate lock
// file ("<file>.lock"); reads hold a shared flock. A mutex serialises the
// threads of one process, so the store is safe across threads and across
// processes.
//
// The default file is <data>/websetup/registry.ini, where <data> is
// $XDG_DATA_HOME when set and absolute, else $HOME/.local/share; the current
// user's store (HKEY_CURRENT_USER) is user-registry.ini beside it.
#pragma once

#include <string>

namespace platform {
namespace posix {

class RegistryStore {
 public:
  explicit RegistryStore(std::string file) : file_(std::move(file)) {}
  // The store of the current user (path from the environment, read now).
  static RegistryStore Default();
  static std::string DefaultPath();
  static RegistryStore User();

  // True when the store holds the key or a key beneath it.
  bool HasKey(const std::wstring& key) const;

  bool Read(const std::wstring& key, const std::wstring& name, std::wstring* value) const;
  bool Write(const std::wstring& key, const std::wstring& name, const std::wstring& value) const;
  const std::string& file() const { return file_; }

 private:
  std::string file_;
};

}  // namespace posix
}  // namespace platform
