#include "toolkit/Picture.h"

#include "toolkit/AttributeValues.h"

namespace toolkit {

namespace {

// Reads "key='value'" pairs separated by spaces.
bool NextPair(const std::string& text, size_t* position, std::string* key, std::string* value) {
  const size_t start = text.find_first_not_of(' ', *position);
  if (start == std::string::npos) return false;
  const size_t equals = text.find('=', start);
  if (equals == std::string::npos || equals + 1 >= text.size() || text[equals + 1] != '\'')
    return false;
  const size_t close = text.find('\'', equals + 2);
  if (close == std::string::npos) return false;
  *key = text.substr(start, equals - start);
  *value = text.substr(equals + 2, close - equals - 2);
  *position = close + 1;
  return true;
}

bool ApplyPair(const std::string& key, const std::string& value, Picture* picture) {
  if (key == "file") {
    picture->file = value;
    return !value.empty();
  }
  if (key == "source") return picture->hasSource = ParseRect(value, &picture->source);
  if (key == "corner") return ParseRect(value, &picture->corner);
  return false;
}

}  // namespace

bool ParsePicture(const std::string& text, Picture* picture, std::string* error) {
  Picture parsed;
  if (text.find('=') == std::string::npos) {
    parsed.file = text;  // a plain path, or empty for no picture
    *picture = parsed;
    return true;
  }
  size_t position = 0;
  std::string key, value;
  while (text.find_first_not_of(' ', position) != std::string::npos) {
    if (!NextPair(text, &position, &key, &value)) {
      *error = "picture \"" + text + "\" is not of the form key='value' ...";
      return false;
    }
    if (!ApplyPair(key, value, &parsed)) {
      *error = "picture part " + key + "='" + value + "' is not understood";
      return false;
    }
  }
  if (parsed.file.empty()) {
    *error = "picture \"" + text + "\" names no file";
    return false;
  }
  *picture = parsed;
  return true;
}

}  // namespace toolkit
