// JSON texts and files read leniently and written in the classic styled
// layout (three-space indentation, members sorted, a line feed at the end),
// shared by the analytics front end and the reporting SDK.
#pragma once

#include <json/json.h>

#include <string>

namespace JsonText {

// The object as far as the reader got; anything else is an empty object.
Json::Value ParseObject(const std::string& text);
// ParseObject of a file's bytes; a missing file is an empty object.
Json::Value ReadObjectFile(const std::wstring& path);
std::string ClassicStyled(const Json::Value& value);

}  // namespace JsonText
