// The local file name of the downloaded package. It comes from the embedded
// configuration's Extra_download_url even when the package address comes
// from the server: its last path segment without the extension, "_", the
// product version, and ".exe" for a program installer, else ".apk".
#pragma once

#include <string>

std::wstring PackageFileName(const std::wstring& embeddedExtraUrl, const std::wstring& productVersion);
