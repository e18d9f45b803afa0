#include "config/CEmbeddedConfigReader.h"

#include <tinyxml2.h>

#include "platform/Platform.h"
#include "toolkit/XmlLoader.h"

namespace {

void CollectEntries(const tinyxml2::XMLElement* element, std::map<std::wstring, std::wstring>* entries) {
  for (; element; element = element->NextSiblingElement()) {
    const char* name = element->Attribute("name");
    const char* text = element->Attribute("text");
    if (name) entries->emplace(platform::Utf8ToWide(name), platform::Utf8ToWide(text ? text : ""));
    CollectEntries(element->FirstChildElement(), entries);
  }
}

}  // namespace

CEmbeddedConfigReader::CEmbeddedConfigReader(const toolkit::ResourceArchive& archive) {
  tinyxml2::XMLDocument document;
  if (toolkit::LoadXml(archive, L"configure\\configure.xml", &document)) {
    CollectEntries(document.FirstChildElement(), &entries_);
  }
}

std::wstring CEmbeddedConfigReader::ReadEntry(const std::wstring& name) {
  const auto found = entries_.find(name);
  return found == entries_.end() ? std::wstring() : found->second;
}
