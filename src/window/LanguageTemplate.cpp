#include "window/LanguageTemplate.h"

#include <easylogging++.h>

#include <cstdio>
#include <cwctype>

#include "platform/Platform.h"

namespace {

// Where the one conversion of a template lies: [begin, end).
struct Conversion {
  size_t begin = 0, end = 0;
};

// At most two digits from `at`; false for more.
bool SkipDigits(const std::wstring& format, size_t* at) {
  const size_t start = *at;
  while (*at < format.size() && std::iswdigit(format[*at])) ++*at;
  return *at - start <= 2;
}

// The number conversion "%[-+ #0][width][.precision]f" starting at `at` (on the "%").
bool ReadNumberConversion(const std::wstring& format, size_t* at) {
  ++*at;
  while (*at < format.size() && std::wstring(L"-+ #0").find(format[*at]) != std::wstring::npos) ++*at;
  if (!SkipDigits(format, at)) return false;
  if (*at < format.size() && format[*at] == L'.') {
    ++*at;
    if (!SkipDigits(format, at)) return false;
  }
  return *at < format.size() && format[(*at)++] == L'f';
}

bool FindConversion(const std::wstring& format, TemplateArg arg, Conversion* found) {
  int count = 0;
  for (size_t at = format.find(L'%'); at != std::wstring::npos; at = format.find(L'%', at)) {
    if (format.compare(at, 2, L"%%") == 0) {
      at += 2;
      continue;
    }
    Conversion conversion{at, at};
    if (arg == TemplateArg::kText) {
      if (format.compare(at, 2, L"%s") != 0) return false;
      at += 2;
    } else if (!ReadNumberConversion(format, &at)) {
      return false;
    }
    conversion.end = at;
    *found = conversion;
    ++count;
  }
  return count == 1;
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring plain;
  for (size_t i = 0; i < text.size(); ++i) {
    plain += text[i];
    if (text[i] == L'%') ++i;  // the second "%" of "%%"
  }
  return plain;
}

std::wstring Fill(const std::wstring& format, const Conversion& conversion, const std::wstring& value) {
  return Unescape(format.substr(0, conversion.begin)) + value + Unescape(format.substr(conversion.end));
}

}  // namespace

bool IsTemplateFor(const std::wstring& format, TemplateArg arg) {
  Conversion conversion;
  return FindConversion(format, arg, &conversion);
}

std::wstring FillTemplate(const std::wstring& format, double number) {
  Conversion conversion;
  if (!FindConversion(format, TemplateArg::kNumber, &conversion)) return std::wstring();
  // Two-digit widths and precisions keep any double within the buffer.
  const std::string spec(format.begin() + conversion.begin, format.begin() + conversion.end);
  char text[512];
  std::snprintf(text, sizeof text, spec.c_str(), number);
  return Fill(format, conversion, platform::Utf8ToWide(text));
}

std::wstring FillTemplate(const std::wstring& format, const std::wstring& text) {
  Conversion conversion;
  if (!FindConversion(format, TemplateArg::kText, &conversion)) return std::wstring();
  return Fill(format, conversion, text);
}

std::wstring CheckedTemplate(const LanguagePage& labels, const std::string& key, TemplateArg arg,
                             const toolkit::ResourceArchive& archive) {
  const std::wstring text = TextOf(labels, key);
  if (IsTemplateFor(text, arg)) return text;
  LOG(INFO) << " [Error]: the language's " << key << " is no template of its value, English's serves: "
            << platform::WideToUtf8(text);
  const std::wstring english = GetLanguageText("install_page", key, English, archive);
  return IsTemplateFor(english, arg) ? english : std::wstring();
}
