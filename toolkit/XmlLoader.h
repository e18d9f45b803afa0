// Parses XML members of the toolkit's resource archive.
#pragma once

#include <tinyxml2.h>

#include <string>

#include "toolkit/ResourceArchive.h"

namespace toolkit {

// Parses the member at `path` ("\\" or "/" between folders) into `document`.
// False when the member is missing or is not well-formed XML; `error`, when
// given, then says which.
bool LoadXml(const ResourceArchive& archive, const std::wstring& path,
             tinyxml2::XMLDocument* document, std::string* error = nullptr);

}  // namespace toolkit
