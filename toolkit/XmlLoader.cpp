#include "toolkit/XmlLoader.h"

namespace toolkit {

bool LoadXml(const ResourceArchive& archive, const std::wstring& path,
             tinyxml2::XMLDocument* document) {
  std::string content;
  if (!document || !archive.ReadMember(path, &content) || content.empty()) return false;
  return document->Parse(content.data(), content.size()) == tinyxml2::XML_SUCCESS;
}

}  // namespace toolkit
