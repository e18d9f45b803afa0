// Reads XML layouts out of the resource archive into a WindowLayout:
// a `Window` root with its frame attributes, `Font` and `Default` entries,
// controls, and `Include` elements that parse another layout file in place.
// Anything unexpected stops the parse with an error naming the file, line,
// element and attribute, so that a typo in a skin is found at once.
#pragma once

#include <tinyxml2.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/ResourceArchive.h"
#include "toolkit/WindowLayout.h"

namespace toolkit {

class LayoutParser {
 public:
  // Layout files and their includes are read from `folder` ("skin\\").
  LayoutParser(const ResourceArchive& archive, std::wstring folder);

  // Parses a layout file whose root is `Window`.
  bool ParseWindow(const std::wstring& file, WindowLayout* layout);
  // Parses a file whose root is a control (a language file) as a child of `parent`.
  bool ParseControls(const std::wstring& file, Control* parent);

  const std::string& error() const { return error_; }

 private:
  using Attributes = std::vector<std::pair<std::string, std::string>>;

  bool Load(const std::wstring& file, tinyxml2::XMLDocument* document);
  bool ParseWindowElement(const tinyxml2::XMLElement& window, WindowLayout* layout);
  bool ParseWindowAttribute(const tinyxml2::XMLElement& window, const tinyxml2::XMLAttribute& attribute,
                            WindowLayout* layout);
  bool ParseFont(const tinyxml2::XMLElement& element, WindowLayout* layout);
  bool ParseDefault(const tinyxml2::XMLElement& element);
  bool ParseChildren(const tinyxml2::XMLElement& parent, Control* into, WindowLayout* layout);
  bool ParseControl(const tinyxml2::XMLElement& element, Control* parent);
  bool ParseInclude(const tinyxml2::XMLElement& element, Control* parent, WindowLayout* layout);
  bool Fail(const tinyxml2::XMLElement& element, const std::string& what);

  const ResourceArchive& archive_;
  std::wstring folder_;
  std::vector<std::string> files_;  // the include chain; its last is being read
  std::map<std::string, Attributes> defaults_;  // per control class
  std::string error_;
};

}  // namespace toolkit
