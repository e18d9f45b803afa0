#include "base/AsciiText.h"

namespace {

template <typename Text>
Text Lowered(Text text) {
  for (auto& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<typename Text::value_type>(c - 'A' + 'a');
  return text;
}

}  // namespace

std::string AsciiLower(std::string text) { return Lowered(std::move(text)); }

std::wstring AsciiLower(std::wstring text) { return Lowered(std::move(text)); }
