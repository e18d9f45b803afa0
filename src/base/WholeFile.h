// A file's bytes as they are (binary: no line-break translation, NUL bytes
// kept). The path is a std::filesystem::path so that a Windows caller names
// any file, whatever the ANSI code page (std::filesystem::u8path of UTF-8, or
// the wide text itself).
#pragma once

#include <filesystem>
#include <string>

// False, with *bytes empty, when the file cannot be opened or read to its end
// (missing, a folder, no right to read it).
bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes);
