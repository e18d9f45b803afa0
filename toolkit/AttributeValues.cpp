#include "toolkit/AttributeValues.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <vector>

#include "base/TrimmedText.h"

namespace toolkit {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseIntegers(const std::string& text, size_t count, int* values) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, ',')) parts.push_back(part);
  if (parts.size() != count || (!text.empty() && text.back() == ',')) return false;
  for (size_t i = 0; i < count; ++i)
    if (!ParseInteger(parts[i], &values[i])) return false;
  return true;
}

}  // namespace

bool ParseInteger(const std::string& text, int* value) {
  const std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(trimmed.c_str(), &end, 10);
  if (end != trimmed.c_str() + trimmed.size() || errno == ERANGE ||
      parsed > std::numeric_limits<int>::max() / 4 || parsed < std::numeric_limits<int>::min() / 4)
    return false;  // a quarter of the range leaves layout sums room to add up
  *value = static_cast<int>(parsed);
  return true;
}

bool ParseBool(const std::string& text, bool* value) {
  if (text != "true" && text != "false") return false;
  *value = text == "true";
  return true;
}

bool ParseColor(const std::string& text, uint32_t* color) {
  if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return false;
  uint32_t value = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  *color = text.size() == 7 ? 0xFF000000u | value : value;
  return true;
}

bool ParseRect(const std::string& text, Rect* rect) {
  int values[4];
  if (!ParseIntegers(text, 4, values)) return false;
  *rect = Rect{values[0], values[1], values[2], values[3]};
  return true;
}

bool ParseSize(const std::string& text, Size* size) {
  int values[2];
  if (!ParseIntegers(text, 2, values)) return false;
  *size = Size{values[0], values[1]};
  return true;
}

}  // namespace toolkit
