// A portable reader of Windows INI files with the semantics of
// GetPrivateProfileStringW / GetPrivateProfileIntW:
//  - section and key names compare case-insensitively (ASCII and Latin
//    letters through towlower), after trimming blanks and tabs;
//  - a line "[name]" opens a section (text after the "]" is ignored), a line
//    beginning with ";" is a comment, a line without "=" is ignored;
//  - a key's value is the text after the first "=", trimmed, with one pair of
//    matching surrounding quotes ('"' or '\'') removed;
//  - when a section or key occurs more than once, the first occurrence in
//    the file answers (a section's keys are searched in every section of the
//    same name, in file order);
//  - integers: missing key or an empty value gives the default; otherwise
//    RtlUnicodeStringToInteger: leading blanks, an optional sign, an optional
//    "0x"/"0o"/"0b" base prefix, then the leading digits ("12abc" is 12,
//    "abc" is 0); the unsigned 32-bit result is returned as int.
// The file's bytes may be UTF-16LE with a BOM, UTF-8 with a BOM, or text in
// the system's "ANSI" code page (UTF-8 on Linux).
//
// Used by the backends' IniReadInt / IniReadString; reads no files itself.
#pragma once

#include <string>
#include <vector>

namespace platform {

class IniFile {
 public:
  IniFile() = default;
  // Parses the raw bytes of a file.
  static IniFile Parse(const std::string& bytes);
  // Parses already decoded text.
  static IniFile ParseText(const std::wstring& text);

  // True when the key exists (its value, possibly empty, in *value).
  bool Lookup(const std::wstring& section, const std::wstring& key, std::wstring* value) const;
  bool HasSection(const std::wstring& section) const;
  std::wstring GetString(const std::wstring& section, const std::wstring& key,
                         const std::wstring& defaultValue) const;
  int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const;

  // Section names in file order (duplicates kept).
  std::vector<std::wstring> Sections() const;

 private:
  struct Entry {
    std::wstring key;    // trimmed
    std::wstring value;  // trimmed, quotes removed
  };
  struct Section {
    std::wstring name;  // trimmed
    std::vector<Entry> entries;
  };
  std::vector<Section> sections_;
};

// RtlUnicodeStringToInteger with base 0 (see above); 0 when no digit.
int ParseProfileInt(const std::wstring& text);

}  // namespace platform
