// Portable INI reader (see IniFile.h).
#include "platform/IniFile.h"

#include <cstdint>
#include <cwctype>

#include "base/TrimmedText.h"
#include "platform/Platform.h"

namespace platform {

namespace {

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
      return false;
  return true;
}

std::wstring DecodeUtf16Le(const std::string& bytes, size_t start) {
  std::wstring out;
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    uint32_t unit = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
    if (sizeof(wchar_t) == 2) {
      out.push_back(static_cast<wchar_t>(unit));
      continue;
    }
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t low = static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint8_t>(bytes[i + 3]) << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;  // lone surrogate
    out.push_back(static_cast<wchar_t>(unit));
  }
  return out;
}

}  // namespace

IniFile IniFile::Parse(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE)
    return ParseText(DecodeUtf16Le(bytes, 2));
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return ParseText(Utf8ToWide(bytes.substr(3)));
  return ParseText(AnsiToWide(bytes));
}

IniFile IniFile::ParseText(const std::wstring& text) {
  IniFile ini;
  Section* current = nullptr;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      size_t close = line.find(L']');
      Section section;
      section.name = TrimBlanks(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
      ini.sections_.push_back(section);
      current = &ini.sections_.back();
      continue;
    }
    if (!current) continue;  // keys before the first section belong to none
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    Entry entry;
    entry.key = TrimBlanks(line.substr(0, eq));
    std::wstring value = TrimBlanks(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    entry.value = value;
    current->entries.push_back(entry);
  }
  return ini;
}

bool IniFile::Lookup(const std::wstring& section, const std::wstring& key,
                     std::wstring* value) const {
  const std::wstring wantedSection = TrimBlanks(section);
  const std::wstring wantedKey = TrimBlanks(key);
  for (const Section& s : sections_) {
    if (!EqualNoCase(s.name, wantedSection)) continue;
    for (const Entry& e : s.entries) {
      if (EqualNoCase(e.key, wantedKey)) {
        if (value) *value = e.value;
        return true;
      }
    }
  }
  return false;
}

bool IniFile::HasSection(const std::wstring& section) const {
  const std::wstring wanted = TrimBlanks(section);
  for (const Section& s : sections_)
    if (EqualNoCase(s.name, wanted)) return true;
  return false;
}

std::wstring IniFile::GetString(const std::wstring& section, const std::wstring& key,
                                const std::wstring& defaultValue) const {
  std::wstring value;
  return Lookup(section, key, &value) ? value : defaultValue;
}

int IniFile::GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const {
  std::wstring value;
  if (!Lookup(section, key, &value) || value.empty()) return defaultValue;
  return ParseProfileInt(value);
}

std::vector<std::wstring> IniFile::Sections() const {
  std::vector<std::wstring> names;
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}

int ParseProfileInt(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\n' ||
                             text[i] == L'\r' || text[i] == L'\v' || text[i] == L'\f'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == L'0') {
    wchar_t p = text[i + 1];
    if (p == L'x' || p == L'X') base = 16;
    else if (p == L'o' || p == L'O') base = 8;
    else if (p == L'b' || p == L'B') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t result = 0;
  for (; i < text.size(); ++i) {
    wchar_t c = text[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
    else if (c >= L'a' && c <= L'f') digit = static_cast<unsigned>(c - L'a' + 10);
    else if (c >= L'A' && c <= L'F') digit = static_cast<unsigned>(c - L'A' + 10);
    else break;
    if (digit >= base) break;
    result = result * base + digit;  // wraps in 32 bits, as Win32's reader does
  }
  if (negative) result = 0u - result;
  return static_cast<int>(result);
}

}  // namespace platform
