// Control::SetAttribute: which attributes each kind of control accepts and
// how their values are read.
#include <sstream>

#include "platform/Platform.h"
#include "toolkit/AttributeValues.h"
#include "toolkit/Control.h"

namespace toolkit {

namespace {

using Kinds = unsigned;
constexpr Kinds Bit(ControlKind kind) { return 1u << static_cast<unsigned>(kind); }

constexpr Kinds kAll = ~0u;
constexpr Kinds kLayouts = Bit(ControlKind::kWindow) | Bit(ControlKind::kVerticalLayout) |
                           Bit(ControlKind::kHorizontalLayout) | Bit(ControlKind::kTabLayout);
constexpr Kinds kSelectable = Bit(ControlKind::kOption) | Bit(ControlKind::kCheckBox);
constexpr Kinds kPressable = kSelectable | Bit(ControlKind::kButton) | Bit(ControlKind::kCombo) |
                             Bit(ControlKind::kListLabelElement) | Bit(ControlKind::kScrollBar) |
                             Bit(ControlKind::kEdit);
constexpr Kinds kTextual = kPressable | Bit(ControlKind::kLabel) | Bit(ControlKind::kText) |
                           Bit(ControlKind::kRichEdit) | Bit(ControlKind::kProgress);
constexpr Kinds kIndexed = Bit(ControlKind::kTabLayout) | Bit(ControlKind::kCombo);
constexpr Kinds kRanged = Bit(ControlKind::kProgress) | Bit(ControlKind::kScrollBar);
constexpr Kinds kEditable = Bit(ControlKind::kEdit) | Bit(ControlKind::kRichEdit);

// "left", "center", "right", "top", "vcenter", "bottom", separated by spaces.
bool ParseAlign(const std::string& text, unsigned* align) {
  unsigned horizontal = kAlignLeft, vertical = kAlignVCenter;
  std::stringstream words(text);
  std::string word;
  bool any = false;
  while (words >> word) {
    any = true;
    if (word == "left") horizontal = kAlignLeft;
    else if (word == "center") horizontal = kAlignCenter;
    else if (word == "right") horizontal = kAlignRight;
    else if (word == "top") vertical = kAlignTop;
    else if (word == "vcenter") vertical = kAlignVCenter;
    else if (word == "bottom") vertical = kAlignBottom;
    else return false;
  }
  *align = horizontal | vertical;
  return any;
}

bool NonNegative(const std::string& text, int* value) {
  int parsed = 0;
  if (!ParseInteger(text, &parsed) || parsed < 0) return false;
  *value = parsed;
  return true;
}

struct AttributeRule {
  const char* name;
  Kinds kinds;
  bool (*apply)(Control&, const std::string&);
};

bool PictureInto(Picture* picture, const std::string& value) {
  std::string ignored;
  return ParsePicture(value, picture, &ignored);
}

#define RULE(attribute, kinds, body) \
  {attribute, kinds, [](Control& c, const std::string& v) -> bool { body; }}

const AttributeRule kRules[] = {
    RULE("text", kAll, c.look.text = platform::Utf8ToWide(v); return true),
    RULE("tooltip", kAll, c.look.tooltip = platform::Utf8ToWide(v); return true),
    RULE("font", kTextual, return ParseInteger(v, &c.look.font) && c.look.font >= -1),
    RULE("textcolor", kTextual, return ParseColor(v, &c.look.textColor)),
    RULE("disabledtextcolor", kTextual, return ParseColor(v, &c.look.disabledTextColor)),
    RULE("align", kTextual, return ParseAlign(v, &c.look.align)),
    RULE("showhtml", kTextual, return ParseBool(v, &c.look.markup)),
    RULE("multiline", kTextual, return ParseBool(v, &c.look.multiline)),
    RULE("endellipsis", kTextual, return ParseBool(v, &c.look.endEllipsis)),
    RULE("bkcolor", kAll, return ParseColor(v, &c.look.bkColor)),
    RULE("bkimage", kAll, return PictureInto(&c.look.bkImage, v)),
    RULE("bordercolor", kAll, return ParseColor(v, &c.look.borderColor)),
    RULE("bordersize", kAll, return NonNegative(v, &c.look.borderSize)),
    RULE("normalimage", kPressable, return PictureInto(&c.look.images[kImageNormal], v)),
    RULE("hotimage", kPressable, return PictureInto(&c.look.images[kImageHot], v)),
    RULE("pushedimage", kPressable, return PictureInto(&c.look.images[kImagePushed], v)),
    RULE("disabledimage", kPressable, return PictureInto(&c.look.images[kImageDisabled], v)),
    RULE("selectedimage", kSelectable, return PictureInto(&c.look.images[kImageSelected], v)),
    RULE("foreimage", kRanged, return PictureInto(&c.look.foreImage, v)),
    RULE("thumbimage", Bit(ControlKind::kScrollBar), return PictureInto(&c.look.thumbImage, v)),
    RULE("visible", kAll, return ParseBool(v, &c.state.visible)),
    RULE("enabled", kAll, return ParseBool(v, &c.state.enabled)),
    RULE("padding", kAll, return ParseRect(v, &c.layout.padding)),
    RULE("inset", kLayouts | kTextual, return ParseRect(v, &c.layout.inset)),
    RULE("childpadding", kLayouts, return NonNegative(v, &c.layout.childPadding)),
    RULE("vscrollbar", kLayouts | kEditable, return ParseBool(v, &c.layout.vscrollbar)),
    RULE("float", kAll, return ParseBool(v, &c.layout.floating)),
    RULE("pos", kAll, return ParseRect(v, &c.layout.pos)),
    RULE("width", kAll, return NonNegative(v, &c.layout.width)),
    RULE("height", kAll, return NonNegative(v, &c.layout.height)),
    RULE("minwidth", kAll, return NonNegative(v, &c.layout.minWidth)),
    RULE("maxwidth", kAll, return NonNegative(v, &c.layout.maxWidth)),
    RULE("minheight", kAll, return NonNegative(v, &c.layout.minHeight)),
    RULE("maxheight", kAll, return NonNegative(v, &c.layout.maxHeight)),
    RULE("group", Bit(ControlKind::kOption), c.state.group = v; return !v.empty()),
    RULE("selected", kSelectable, bool on = false; if (!ParseBool(v, &on)) return false;
         c.SetSelected(on); return true),
    RULE("selectedid", kIndexed, return ParseInteger(v, &c.state.selectedIndex) &&
                                        c.state.selectedIndex >= -1),
    RULE("min", kRanged, return ParseInteger(v, &c.state.min)),
    RULE("max", kRanged, return ParseInteger(v, &c.state.max)),
    RULE("value", kRanged, return ParseInteger(v, &c.state.value)),
    RULE("password", Bit(ControlKind::kEdit), return ParseBool(v, &c.state.password)),
    RULE("readonly", kEditable, return ParseBool(v, &c.state.readOnly)),
    RULE("maxchar", kEditable, return NonNegative(v, &c.state.maxChars)),
};

#undef RULE

}  // namespace

bool Control::SetAttribute(const std::string& attribute, const std::string& value,
                           std::string* error) {
  if (attribute == "name") {
    name_ = value;
    return true;
  }
  for (const AttributeRule& rule : kRules) {
    if (attribute != rule.name) continue;
    if (!(rule.kinds & Bit(kind_))) break;
    if (rule.apply(*this, value)) return true;
    *error = "attribute " + attribute + "=\"" + value + "\" has a value " + KindName(kind_) +
             " cannot read";
    return false;
  }
  *error = std::string(KindName(kind_)) + " has no attribute \"" + attribute + "\"";
  return false;
}

}  // namespace toolkit
