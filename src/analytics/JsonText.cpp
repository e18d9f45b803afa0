#include "analytics/JsonText.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace JsonText {

Json::Value ParseObject(const std::string& text) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  std::string errors;
  reader->parse(text.data(), text.data() + text.size(), &value, &errors);
  return value.isObject() ? value : Json::Value(Json::objectValue);
}

Json::Value ReadObjectFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return ParseObject(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

std::string ClassicStyled(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "   ";
  return Json::writeString(builder, value) + "\n";
}

}  // namespace JsonText
