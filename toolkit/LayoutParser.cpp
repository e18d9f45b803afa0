#include "toolkit/LayoutParser.h"

#include <algorithm>

#include "platform/Platform.h"
#include "toolkit/AttributeValues.h"
#include "toolkit/XmlLoader.h"

namespace toolkit {

namespace {

// Includes deeper than this are taken for a loop.
constexpr size_t kMaxIncludeDepth = 8;

std::string Describe(const tinyxml2::XMLElement& element) {
  const char* name = element.Attribute("name");
  return "<" + std::string(element.Name()) + (name ? " name=\"" + std::string(name) + "\"" : "") + ">";
}

}  // namespace

LayoutParser::LayoutParser(const ResourceArchive& archive, std::wstring folder)
    : archive_(archive), folder_(std::move(folder)) {}

bool LayoutParser::Fail(const tinyxml2::XMLElement& element, const std::string& what) {
  error_ = files_.back() + ":" + std::to_string(element.GetLineNum()) + ": " + Describe(element) +
           ": " + what;
  return false;
}

bool LayoutParser::Load(const std::wstring& file, tinyxml2::XMLDocument* document) {
  std::string name = platform::WideToUtf8(folder_ + file);
  std::replace(name.begin(), name.end(), '\\', '/');  // one spelling in messages
  std::string why;
  if (files_.size() >= kMaxIncludeDepth) {
    error_ = name + ": includes nested deeper than " + std::to_string(kMaxIncludeDepth);
    return false;
  }
  if (!LoadXml(archive_, folder_ + file, document, &why) || !document->RootElement()) {
    error_ = name + ": " + (why.empty() ? "no root element" : why);
    return false;
  }
  files_.push_back(name);
  return true;
}

bool LayoutParser::ParseWindow(const std::wstring& file, WindowLayout* layout) {
  tinyxml2::XMLDocument document;
  if (!Load(file, &document)) return false;
  const tinyxml2::XMLElement& root = *document.RootElement();
  const bool parsed = std::string(root.Name()) == "Window"
                          ? ParseWindowElement(root, layout)
                          : Fail(root, "the root of a window layout must be <Window>");
  files_.pop_back();
  const auto scrollBar = defaults_.find("ScrollBar");
  std::string why;  // checked when the Default was read
  if (parsed && scrollBar != defaults_.end())
    for (const auto& [name, value] : scrollBar->second) layout->scrollBar.SetAttribute(name, value, &why);
  return parsed;
}

bool LayoutParser::ParseControls(const std::wstring& file, Control* parent) {
  tinyxml2::XMLDocument document;
  if (!Load(file, &document)) return false;
  const bool parsed = ParseControl(*document.RootElement(), parent);
  files_.pop_back();
  return parsed;
}

bool LayoutParser::ParseWindowElement(const tinyxml2::XMLElement& window, WindowLayout* layout) {
  for (const auto* attribute = window.FirstAttribute(); attribute; attribute = attribute->Next())
    if (!ParseWindowAttribute(window, *attribute, layout)) return false;
  return ParseChildren(window, &layout->root, layout);
}

// Frame attributes belong to the window; the rest (bkcolor, inset ...) to its root control.
bool LayoutParser::ParseWindowAttribute(const tinyxml2::XMLElement& window,
                                        const tinyxml2::XMLAttribute& attribute,
                                        WindowLayout* layout) {
  const std::string name = attribute.Name(), value = attribute.Value();
  bool read = true;
  if (name == "size") read = ParseSize(value, &layout->size);
  else if (name == "caption") read = ParseRect(value, &layout->caption);
  else if (name == "roundcorner") read = ParseSize(value, &layout->roundCorner);
  else if (name == "mininfo") read = ParseSize(value, &layout->minSize);
  else if (name == "maxinfo") read = ParseSize(value, &layout->maxSize);
  else if (name == "showshadow") read = ParseBool(value, &layout->shadow);
  else if (name == "linkcolor") read = ParseColor(value, &layout->linkColor);
  else if (name == "linkhovercolor") read = ParseColor(value, &layout->linkHoverColor);
  else {
    std::string why;
    return layout->root.SetAttribute(name, value, &why) || Fail(window, why);
  }
  return read || Fail(window, "attribute " + name + "=\"" + value + "\" cannot be read");
}

bool LayoutParser::ParseFont(const tinyxml2::XMLElement& element, WindowLayout* layout) {
  FontSpec font;
  bool isDefault = false, hasId = false;
  for (const auto* attribute = element.FirstAttribute(); attribute; attribute = attribute->Next()) {
    const std::string name = attribute->Name(), value = attribute->Value();
    bool read = true;
    if (name == "id") read = hasId = ParseInteger(value, &font.id) && font.id >= 0;
    else if (name == "name") font.face = value;
    else if (name == "size") read = ParseInteger(value, &font.size) && font.size > 0;
    else if (name == "bold") read = ParseBool(value, &font.bold);
    else if (name == "underline") read = ParseBool(value, &font.underline);
    else if (name == "italic") read = ParseBool(value, &font.italic);
    else if (name == "default") read = ParseBool(value, &isDefault);
    else return Fail(element, "Font has no attribute \"" + name + "\"");
    if (!read) return Fail(element, "attribute " + name + "=\"" + value + "\" cannot be read");
  }
  if (!hasId || font.face.empty()) return Fail(element, "a Font needs an id and a name");
  if (isDefault) layout->defaultFont = font.id;
  layout->fonts.push_back(font);
  return true;
}

// <Default name="Button" value="font=&quot;1&quot; align=&quot;center&quot;"/>: the
// value is checked now against a control of that class, so a typo names this line.
bool LayoutParser::ParseDefault(const tinyxml2::XMLElement& element) {
  const char* className = element.Attribute("name");
  const char* value = element.Attribute("value");
  ControlKind kind;
  if (!className || !value || !KindFromName(className, &kind))
    return Fail(element, "a Default needs the name of a control class and a value");
  tinyxml2::XMLDocument holder;
  const std::string wrapped = "<D " + std::string(value) + "/>";
  if (holder.Parse(wrapped.c_str()) != tinyxml2::XML_SUCCESS)
    return Fail(element, "value \"" + std::string(value) + "\" is not a list of attributes");
  Control probe(kind);
  Attributes attributes;
  for (const auto* a = holder.RootElement()->FirstAttribute(); a; a = a->Next()) {
    std::string why;
    if (!probe.SetAttribute(a->Name(), a->Value(), &why)) return Fail(element, why);
    attributes.emplace_back(a->Name(), a->Value());
  }
  defaults_[className] = attributes;
  return true;
}

bool LayoutParser::ParseChildren(const tinyxml2::XMLElement& parent, Control* into,
                                 WindowLayout* layout) {
  for (const auto* child = parent.FirstChildElement(); child; child = child->NextSiblingElement()) {
    const std::string name = child->Name();
    const bool windowLevel = layout != nullptr;
    bool parsed;
    if (name == "Include") parsed = ParseInclude(*child, into, layout);
    else if (name == "Font" && windowLevel) parsed = ParseFont(*child, layout);
    else if (name == "Default" && windowLevel) parsed = ParseDefault(*child);
    else parsed = ParseControl(*child, into);
    if (!parsed) return false;
  }
  return true;
}

bool LayoutParser::ParseControl(const tinyxml2::XMLElement& element, Control* parent) {
  ControlKind kind;
  if (!KindFromName(element.Name(), &kind))
    return Fail(element, "unknown element <" + std::string(element.Name()) + ">");
  if (!HoldsChildren(parent->kind()))
    return Fail(element, std::string(KindName(parent->kind())) + " cannot hold controls");
  auto control = std::make_unique<Control>(kind);
  std::string why;
  const auto defaults = defaults_.find(element.Name());
  if (defaults != defaults_.end())
    for (const auto& [name, value] : defaults->second) control->SetAttribute(name, value, &why);
  for (const auto* attribute = element.FirstAttribute(); attribute; attribute = attribute->Next())
    if (!control->SetAttribute(attribute->Name(), attribute->Value(), &why)) return Fail(element, why);
  return ParseChildren(element, parent->Add(std::move(control)), nullptr);
}

// The included file's root is parsed in place: a <Window> root lends its
// children (fonts, defaults, controls), any other root is one control.
bool LayoutParser::ParseInclude(const tinyxml2::XMLElement& element, Control* parent,
                                WindowLayout* layout) {
  const char* source = element.Attribute("source");
  if (!source || !*source || element.FirstAttribute()->Next())
    return Fail(element, "an Include takes exactly one attribute, source");
  tinyxml2::XMLDocument document;
  if (!Load(platform::Utf8ToWide(source), &document)) {
    error_ = files_.back() + ":" + std::to_string(element.GetLineNum()) + ": <Include>: " + error_;
    return false;
  }
  const tinyxml2::XMLElement& root = *document.RootElement();
  const bool window = std::string(root.Name()) == "Window";
  const bool parsed = !window                ? ParseControl(root, parent)
                      : root.FirstAttribute() ? Fail(root, "an included Window takes no attributes")
                                              : ParseChildren(root, parent, layout);
  files_.pop_back();
  return parsed;
}

}  // namespace toolkit
