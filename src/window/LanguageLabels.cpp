#include "window/LanguageLabels.h"

#include "toolkit/Markup.h"

void ApplyLanguageLabel(toolkit::Control& root, const std::string& key, const std::wstring& text) {
  const std::string tooltip = "_tooltip";
  const size_t suffix = key.size() > tooltip.size() ? key.size() - tooltip.size() : 0;
  if (suffix && key.compare(suffix, std::string::npos, tooltip) == 0) {
    if (toolkit::Control* control = root.Find(key.substr(0, suffix))) control->look.tooltip = text;
  } else if (toolkit::Control* control = root.Find(key)) {
    control->look.text = text;
  }
}

void NameCarouselOptions(toolkit::Control& root) {
  for (int n = 1;; ++n) {
    toolkit::Control* option = root.Find("image_play_option" + std::to_string(n));
    if (!option) break;
    const toolkit::Control* caption = root.Find("anima_text_" + std::to_string(n));
    option->look.tooltip = caption ? toolkit::ParseMarkup(caption->look.text).PlainText() : L"";
  }
}
