// Letter case of protocol and system texts (header names, hosts, locale and
// file system names): only A-Z change, whatever the locale, so that a
// comparison never depends on the user's language.
#pragma once

#include <string>

std::string AsciiLower(std::string text);
std::wstring AsciiLower(std::wstring text);
