#include "config/DataServiceAnswer.h"

#include <json/json.h>

#include <cctype>

#include "base/JsonText.h"

namespace DataServiceAnswer {
namespace {

constexpr size_t kMaxExtension = 5;

// Reads one member of an element, failing with its name when the type is wrong.
class Reader {
 public:
  explicit Reader(std::string* error) : error_(error) {}

  bool Text(const Json::Value& object, const char* name, std::string* text) {
    const Json::Value& value = object[name];
    if (value.isNull()) return text->clear(), true;
    if (!value.isString()) return Fail(std::string(name) + " is not a text");
    *text = value.asString();
    return true;
  }
  bool Int(const Json::Value& object, const char* name, int* number) {
    const Json::Value& value = object[name];
    if (!value.isInt()) return Fail(std::string(name) + " is not an integer");
    *number = value.asInt();
    return true;
  }
  // An absent array is an empty one.
  bool Array(const Json::Value& object, const char* name, const Json::Value** array) {
    const Json::Value& value = object[name];
    if (!value.isNull() && !value.isArray()) return Fail(std::string(name) + " is not an array");
    *array = &value;
    return true;
  }
  bool Object(const Json::Value& value, const char* what) {
    return value.isObject() || Fail(std::string(what) + " is not an object");
  }
  bool Fail(const std::string& reason) {
    *error_ = reason;
    return false;
  }

 private:
  std::string* error_;
};

// The JSON array of an answer, after the parse and the "code" verdict.
Result ReadArray(const std::string& text, Json::Value* root, std::string* error) {
  if (!JsonText::Parse(text, root, error)) return kNotJson;
  if (text.find("\"code\"") != std::string::npos) {
    const bool accepted = root->isObject() && (*root)["code"].isInt() && (*root)["code"].asInt() == 200;
    if (!accepted) return kRefused;
  }
  if (!root->isArray()) return *error = "the answer is not an array", kWrongShape;
  return kOk;
}

bool ReadBanner(const Json::Value& element, Banner* banner, Reader& read) {
  return read.Object(element, "an element") && read.Text(element, "banner_url", &banner->bannerUrl) &&
         read.Text(element, "jump_url", &banner->jumpUrl) && read.Text(element, "prompt", &banner->prompt) &&
         read.Int(element, "sort", &banner->sort);
}

bool ReadLinks(const Json::Value& element, LanguageLinks* links, Reader& read) {
  const Json::Value* urls = nullptr;
  if (!read.Object(element, "an element") || !read.Text(element, "lang_code", &links->langCode) ||
      !read.Array(element, "urls", &urls))
    return false;
  for (const Json::Value& entry : *urls) {
    LinkEntry link;
    if (!read.Object(entry, "an entry of urls") || !read.Text(entry, "field", &link.field) ||
        !read.Text(entry, "url", &link.url))
      return false;
    links->urls.push_back(link);
  }
  return true;
}

template <typename Item, typename ReadItem>
Result ParseEach(const std::string& text, std::vector<Item>* items, std::string* error, ReadItem readItem) {
  items->clear();
  Json::Value root;
  const Result result = ReadArray(text, &root, error);
  if (result != kOk) return result;
  Reader read(error);
  for (const Json::Value& element : root) {
    Item item;
    if (!readItem(element, &item, read)) return items->clear(), kWrongShape;
    items->push_back(item);
  }
  return kOk;
}

bool IsExtension(const std::string& text) {
  if (text.empty() || text.size() > kMaxExtension) return false;
  for (unsigned char c : text)
    if (c > 0x7F || !std::isalnum(c)) return false;
  return true;
}

}  // namespace

Result ParseBanners(const std::string& text, std::vector<Banner>* banners, std::string* error) {
  return ParseEach(text, banners, error, ReadBanner);
}

Result ParsePrivacyLinks(const std::string& text, std::vector<LanguageLinks>* links, std::string* error) {
  return ParseEach(text, links, error, ReadLinks);
}

std::string BannerFileName(int sort, const std::string& bannerUrl) {
  std::string path = bannerUrl.substr(0, bannerUrl.find_first_of("?#"));
  const size_t scheme = path.find("://");
  if (scheme != std::string::npos) {
    const size_t pathStart = path.find('/', scheme + 3);
    path = pathStart == std::string::npos ? std::string() : path.substr(pathStart);
  }
  const std::string segment = path.substr(path.find_last_of('/') + 1);
  const size_t dot = segment.find_last_of('.');
  const std::string extension = dot == std::string::npos ? std::string() : segment.substr(dot + 1);
  return std::to_string(sort) + "." + (IsExtension(extension) ? extension : "png");
}

}  // namespace DataServiceAnswer
