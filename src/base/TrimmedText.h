// Texts read from files, the registry and the user (INI lines, sysfs values,
// folder names, header values) without the blanks around them. Blanks are
// the ASCII ones alone (space, tab, line feed, carriage return, vertical tab,
// form feed), so that the result never depends on the user's locale and a
// line read from a Windows file loses its carriage return.
#pragma once

#include <string>

std::string TrimBlanks(const std::string& text);
std::wstring TrimBlanks(const std::wstring& text);
