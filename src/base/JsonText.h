// JSON texts and files read leniently and written in the classic styled
// layout (three-space indentation, members sorted, a line feed at the end),
// shared by the analytics front end and the reporting SDK.
#pragma once

#include <json/json.h>

#include <string>

namespace JsonText {

// Any JSON value: false, with the reader's complaint in *errors, when the
// text is not read whole (also when it nests deeper than the reader allows).
bool Parse(const std::string& text, Json::Value* value, std::string* errors);
// The object as far as the reader got; anything else is an empty object.
// Nesting deeper than the reader allows makes the whole text unreadable
// (an empty object) instead of an exception. *errors, when given, receives
// the reader's complaint, empty when the text was read whole.
Json::Value ParseObject(const std::string& text, std::string* errors = nullptr);
std::string ClassicStyled(const Json::Value& value);

}  // namespace JsonText
