// System services as free functions: system information, text conversions,
// drives and storage queries. They keep no state; each call asks the system
// (through the platform layer) afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "system/EnumLanguage.h"

namespace platform {
class PinnedFile;
}

namespace FuntionImpl {

// ---- system information ----
std::string GetOSVersionName(float* number);
bool IsWindows11();
std::string GetUILanguageName();
// The table text of a Windows language identifier ("0x%.4x_0x%.4x" if unknown).
std::string LanguageNameOf(uint16_t languageId);
// The interface language of the user's UI language (logged).
EnumLanguage GetLanguageByLocalSystem();
// The interface language of a Windows language identifier: only the listed
// identifiers count (no primary-language masking); any other is English.
EnumLanguage LanguageOfLangId(uint16_t languageId);
bool IsWow64();
std::wstring ReadRegString(const std::wstring& key, const std::wstring& name);
bool WriteRegString(const std::wstring& key, const std::wstring& name, const std::wstring& text);
// True when a file rename waiting for the next restart (the registry's
// PendingFileRenameOperations) names something inside the folder `path`.
bool IsPendingRename(const std::wstring& path);
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string AnsiToUtf8(const std::string& text);
std::wstring FindFileInSubDirs(const std::wstring& folder, const std::wstring& name);
// `folder` and `name` with one separator between them (none after an empty folder).
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
std::string GetFileVersion(const std::wstring& path);
// ProductName, ProductVersion, LegalCopyright, FileDescription.
void GetFileVersionStrings(const std::wstring& path, std::wstring* productName,
                           std::wstring* productVersion, std::wstring* legalCopyright,
                           std::wstring* fileDescription);
double GetScreenInfo(int* width, int* height);
bool WillShowNetFrameCheck(const std::wstring& folder);
std::string GetChinaStandardTime();
std::wstring GetSystemRegion();
std::wstring GetHostOfUrl(const std::wstring& url);
uint32_t CreateDirectories(const std::wstring& path);
// The folder `path` made, below its drive root (DriveRootOf), of folders
// that only this program may change (platform::CreatePrivateFolder). A
// level that exists is used only when it is such a folder already; one that
// is not (a link, owned or writable by somebody else, not a folder) is
// removed and made anew, or, when it cannot be removed, the first of the
// names "<name>_1" to "<name>_16" beside it that is or can be made private
// takes its place. Each departure from `path` is added to *notes as a log
// line. Returns the folder in use, empty when none could be made.
std::wstring PreparePrivateFolder(const std::wstring& path, std::vector<std::string>* notes);
std::wstring GetSystemVolumeGuid();

// ---- data service (FuntionImplDataService.cpp) ----
// The signed request addresses of the data service: "https://" + its host +
// "/api/v1/banners?" or "/api/v1/user_privacy_info?" + the signed query for
// the current time. The query is logged (" BAN: ", " TCP: ").
std::string GetBannerPicUrl(int32_t parentPid, const std::string& languageCode);
std::string GetPrivacyUrl(int32_t parentPid);
// The signed queries for a given time: the query, then "&verify=" and the
// lower-case hex MD5 of the query followed by the service's salt.
std::string BannerQuery(int32_t parentPid, const std::string& languageCode, int64_t timestamp);
std::string PrivacyQuery(int32_t parentPid, int64_t timestamp);
// The build's data-service host (SETUP_DATA_HOST; with the TestEnv switch
// SETUP_DATA_TEST_HOST); in builds for tests the settings' ServiceHost first.
std::string DataServiceHost();
// Durations for analytics in buckets of three seconds: "[3~6]s" for 4
// seconds with the suffix "s".
std::string TimeBucketText(int64_t seconds, const std::string& suffix);

// ---- pieces of the above, for tests and other subsystems ----
// One row of the language table.
struct LanguageEntry {
  uint16_t id;
  const char* name;  // language "_" country
};
// The 143 rows, in table order.
const std::vector<LanguageEntry>& LanguageTable();
// ParseVersion of WillShowNetFrameCheck: the text split at "."; each part a
// leading-digit decimal number (empty or non-numeric: 0); at most four parts
// are read, missing ones are 0.
void ParseVersion(const std::wstring& text, int parts[4]);
// CreateDirectories with the single-folder creator given (CreateDirectories
// passes platform::CreateOneDirectory); lets tests exercise the 112 rule.
uint32_t CreateDirectoriesWith(const std::wstring& path,
                               const std::function<uint32_t(const std::wstring&)>& createOne);

// ---- processes ----
// Process id of the (last) process whose image is fullPath (any ASCII letter
// case) or, with withTmp, its ".tmp" twin; terminated when kill is set. -1
// when none matched, -2 when the process list cannot be read.
int FindProcessByFullPath(std::wstring fullPath, bool kill, bool withTmp);
// Where a function sends its analytics events (category, action, label).
using EventReport = std::function<void(const std::string& category, const std::string& action,
                                       const std::string& label)>;
// Starts the product: `commandLine` is its executable's path in quotation
// marks. A non-zero asAdmin starts it directly (it inherits the installer's
// rights); 0 hands it to Explorer, which then starts it with the user's.
// 0 on success; -1, logged and reported as "Other" "StartWindowError" with
// the error number ("2" for a missing file), on failure.
int StartTargetMainExe(std::wstring commandLine, int asAdmin, const EventReport& report);
// Opens a link (privacy, licence, the package, a product page) in the
// browser of the user who started Setup, never with Setup's own rights
// (platform::ISystem::OpenWebPage). Only an http or https address without
// blanks, quotation marks or control characters is opened, re-encoded
// (WebUrl::ForShell); anything else is logged and refused. True when the
// browser took it.
bool OpenWebLink(const std::wstring& url);

// ---- signatures ----
// Who may sign the packages the installer runs.
struct SignaturePolicy {
  std::vector<std::string> pins;        // lower-case hex SHA-256 of a certificate or public key
  std::vector<std::string> extraRoots;  // DER certificates trusted besides the system's roots
};
// The policy compiled in: SETUP_PUBLISHER_PIN, and in builds made for tests
// the root SETUP_TEST_SIGNING_ROOT.
SignaturePolicy BuiltInSignaturePolicy();
// True only when the file's embedded signature is intact, chains to a
// trusted root, and its signer's certificate or public key is pinned.
// Without any pin nothing passes. The outcome is logged.
bool VerifySignatureWith(const platform::PinnedFile& file, const SignaturePolicy& policy);
// The file at `path`, opened for the check (OpenPinnedFile); a file that
// cannot be opened so is refused.
bool VerifySignatureWith(const wchar_t* path, const SignaturePolicy& policy);
// With the built-in policy.
bool VerifyEmbeddedSignature(const platform::PinnedFile& file);
bool VerifyEmbeddedSignature(const wchar_t* path);
// True when the text is shorter than 4 characters or ends in ".exe" exactly.
bool isExePath(std::wstring text);

// ---- drives and storage queries ----
bool IsSsdDrive(wchar_t letter);
// Solid-state test of a drive root ("C:\\" or a mount point).
bool IsSsdRoot(const std::wstring& root);
int GetBusType(const std::wstring& root);
std::wstring ListSsdDrives();
std::wstring MoveToRoomiestDrive(const std::wstring& path);
// The root of the candidate drive with the most free space; empty when no
// candidate has any (MoveToRoomiestDrive then leaves the path rootless).
std::wstring RoomiestDrive();
// The path with its drive root (DriveRootOf) replaced by `root`.
std::wstring MoveToDrive(const std::wstring& path, const std::wstring& root);

// Drive roots on both platforms. Windows roots are "X:\\"; on Linux a root is
// a mount point ending in "/" (platform::ISystem::LogicalDrives).
//  - DriveRootOf(path): the root prefix of a path, the part that
//    MoveToRoomiestDrive replaces. A path not beginning with "/" keeps the
//    Windows rule: its first three characters (all of it when shorter). A
//    path beginning with "/" has the longest drive root that contains it
//    ("/data/x" and "/data" are on "/data/"), or "/" when no drive root does.
//  - A candidate drive is a drive root whose type is kDriveFixed and whose
//    bus type is not kBusTypeUsb, in the order of the drive list.
//  - ListSsdDrives() lists drive letters, so it names only "X:\\" roots; the
//    solid-state candidates of any form (mount points too) come from
//    ListSsdRoots(), in the same order.
std::wstring DriveRootOf(const std::wstring& path);
bool IsCandidateDrive(const std::wstring& root);
std::vector<std::wstring> CandidateDrives();
std::vector<std::wstring> ListSsdRoots();

}  // namespace FuntionImpl
