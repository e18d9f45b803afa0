#include "toolkit/XmlLoader.h"

namespace toolkit {

bool LoadXml(const ResourceArchive& archive, const std::wstring& path,
             tinyxml2::XMLDocument* document, std::string* error) {
  std::string content;
  if (!document || !archive.ReadMember(path, &content) || content.empty()) {
    if (error) *error = "missing from the resource archive";
    return false;
  }
  if (document->Parse(content.data(), content.size()) == tinyxml2::XML_SUCCESS) return true;
  if (error) *error = document->ErrorStr();
  return false;
}

}  // namespace toolkit
