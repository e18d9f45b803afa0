#include "toolkit/KeyPress.h"

namespace toolkit {

namespace {

struct KeyName {
  const char* name;
  Key key;
};

constexpr KeyName kKeys[] = {
    {"Tab", Key::kTab},       {"Enter", Key::kEnter},   {"Return", Key::kEnter}, {"Space", Key::kSpace},
    {"Escape", Key::kEscape}, {"Left", Key::kLeft},     {"Right", Key::kRight},  {"Up", Key::kUp},
    {"Down", Key::kDown},     {"Home", Key::kHome},     {"End", Key::kEnd},      {"PageUp", Key::kPageUp},
    {"PageDown", Key::kPageDown}, {"F4", Key::kF4},
};

bool ParseModifier(const std::string& name, unsigned* modifiers) {
  if (name == "Shift") *modifiers |= kShift;
  else if (name == "Alt") *modifiers |= kAlt;
  else if (name == "Ctrl") *modifiers |= kControlKey;
  else return false;
  return true;
}

}  // namespace

bool ParseKeyPress(const std::string& name, KeyPress* press) {
  KeyPress parsed;
  size_t start = 0;
  for (size_t plus = name.find('+'); plus != std::string::npos; plus = name.find('+', start)) {
    if (!ParseModifier(name.substr(start, plus - start), &parsed.modifiers)) return false;
    start = plus + 1;
  }
  const std::string key = name.substr(start);
  for (const KeyName& entry : kKeys) {
    if (key != entry.name) continue;
    parsed.key = entry.key;
    *press = parsed;
    return true;
  }
  return false;
}

}  // namespace toolkit
