#include "analytics/JsonText.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace JsonText {

Json::Value ParseObject(const std::string& text, std::string* errors) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  std::string complaint;
  try {
    reader->parse(text.data(), text.data() + text.size(), &value, &complaint);
  } catch (const std::exception& error) {  // the reader's nesting limit
    value = Json::Value();
    complaint = error.what();
  }
  if (errors) *errors = complaint;
  return value.isObject() ? value : Json::Value(Json::objectValue);
}

Json::Value ReadObjectFile(const std::wstring& path, std::string* errors) {
  if (errors) errors->clear();
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return Json::Value(Json::objectValue);
  return ParseObject(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), errors);
}

std::string ClassicStyled(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "   ";
  return Json::writeString(builder, value) + "\n";
}

}  // namespace JsonText
