// The files of one install and the names they are built from. Names that
// come from the configuration server (version, product and process names)
// pass through SafeFileName before they reach a path or a command line, and
// through IsSafeKeyName before they name a registry key.
#pragma once

#include <cstdint>
#include <string>

class InstallHost;

class CConfigure;

// Keeps the characters a file name may hold: drops control characters and
// \ / : " * ? < > |, then every ".." (until none is left), then leading
// blanks and trailing blanks and dots (which Windows drops itself). The
// result names a file inside whatever folder it is appended to, or is empty.
std::wstring SafeFileName(const std::wstring& text);
// A name fit to be part of a registry key as it is: not empty and unchanged
// by SafeFileName. A cleaned name would name another product's key, so an
// unsafe one is not used at all.
bool IsSafeKeyName(const std::wstring& text);

// The package's file name: the last path segment of the embedded
// Extra_download_url without its extension, "_", the product version (its
// characters 0-9 A-Z a-z . _ - only) and ".exe" (".apk" when that address
// does not end in ".exe").
std::wstring PackageFileName(const std::wstring& embeddedExtraUrl, const std::wstring& version);

// The package, its slice task file and the marker of its last hash check;
// all empty without a download folder.
struct PackageFiles {
  PackageFiles() = default;
  PackageFiles(const std::wstring& downloadFolder, const std::wstring& fileName);
  std::wstring package, taskFile, marker;
};
// The files of the package the host's configuration names, in the run's
// download folder.
PackageFiles PackageFilesOf(InstallHost& host);

void RemoveFileIfPresent(const std::wstring& path);
// Deletes the package, its task file and its marker; logs the first deletion.
void ClearAPPData(const PackageFiles& files);
// Keeps the package and its task file only when the marker of an earlier
// check names `version` and one of the MD5s (upper-case digits allowed) and,
// when both the marker and the answer carry a SHA-256, the same one;
// otherwise deletes them. A marker without a SHA-256 (an older installer's)
// is judged by its MD5: the package is hashed again before it runs. The
// marker itself is always deleted. Without a marker nothing is deleted, so
// an interrupted download resumes.
void DiscardStalePackage(const PackageFiles& files, const std::wstring& version, const std::wstring& md5,
                         const std::wstring& md5Extra, const std::wstring& sha256);

// The product's main executable: the install folder (blanks trimmed) and the
// record's process name, else the first subfolder, depth first, holding a
// file of that name. Empty when the record is not loaded or nothing is found.
std::wstring ProductMainExePath(const CConfigure& record, const std::wstring& installPath);
