#include "base/JsonText.h"

#include <memory>

namespace JsonText {

bool Parse(const std::string& text, Json::Value* value, std::string* errors) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  errors->clear();
  try {
    return reader->parse(text.data(), text.data() + text.size(), value, errors) && errors->empty();
  } catch (const std::exception& error) {  // the reader's nesting limit
    *value = Json::Value();
    *errors = error.what();
    return false;
  }
}

Json::Value ParseObject(const std::string& text, std::string* errors) {
  Json::Value value;
  std::string complaint;
  Parse(text, &value, &complaint);
  if (errors) *errors = complaint;
  return value.isObject() ? value : Json::Value(Json::objectValue);
}

std::string ClassicStyled(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "   ";
  return Json::writeString(builder, value) + "\n";
}

}  // namespace JsonText
