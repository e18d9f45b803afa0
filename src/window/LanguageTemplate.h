// The format templates of the language files: "install_label" ("%0.f%%",
// the progress), "space_free" ("%.1f", gigabytes) and "space_need" ("%s").
// Publishers edit these files, so a template is only filled when it holds
// exactly one conversion of the kind its caller fills (a number: "%f" with
// flags, a width and a precision of at most two digits each; a text: "%s")
// and otherwise only "%%".
#pragma once

#include <string>

#include "system/EnumLanguage.h"
#include "toolkit/ResourceArchive.h"
#include "window/Language.h"

enum class TemplateArg { kNumber, kText };

bool IsTemplateFor(const std::wstring& format, TemplateArg arg);
// The template filled in; "" for a template that IsTemplateFor refuses.
std::wstring FillTemplate(const std::wstring& format, double number);
std::wstring FillTemplate(const std::wstring& format, const std::wstring& text);
// The text of `key` in the language's "install_page" when it is a usable
// template; else, logged, English's; "" when neither is.
std::wstring CheckedTemplate(const LanguagePage& labels, const std::string& key, TemplateArg arg,
                             const toolkit::ResourceArchive& archive);
