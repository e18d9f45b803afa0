// win32 backend: paths walked without following a reparse point (see
// Win32Common.h), and the security of folders only we may change.
#include <algorithm>
#include <vector>

#include "platform/win32/Win32Common.h"

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

namespace platform {
namespace win32 {

namespace {

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtStatusToErrorFunction = ULONG(NTAPI*)(NTSTATUS);
using NtSetInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

// ntdll is mapped into every process before the program: nothing is loaded.
template <typename Function>
Function FromNtdll(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

const NtCreateFileFunction g_ntCreateFile = FromNtdll<NtCreateFileFunction>("NtCreateFile");
const NtStatusToErrorFunction g_ntStatusToError = FromNtdll<NtStatusToErrorFunction>("RtlNtStatusToDosError");
const NtSetInformationFileFunction g_ntSetInformationFile =
    FromNtdll<NtSetInformationFileFunction>("NtSetInformationFile");
constexpr ULONG kFileRenameInformation = 10;

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = path.empty() ? 0 : GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::wstring();
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
  full.resize(length < needed ? length : 0);
  return full;
}

// Length of the root of a full path: "X:\", "\\server\share\", and both
// behind "\\?\" (as "\\?\X:\" and "\\?\UNC\server\share\"); 0 for none.
size_t RootLength(const std::wstring& full) {
  size_t start = 0;
  size_t separators = 0;  // after `start`, the separator that ends the root
  if (full.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    start = 8;
    separators = 2;
  } else if (full.compare(0, 4, L"\\\\?\\") == 0) {
    start = 4;
  } else if (full.compare(0, 2, L"\\\\") == 0) {
    start = 2;
    separators = 2;
  }
  if (separators == 0)
    return full.size() >= start + 3 && full[start + 1] == L':' && full[start + 2] == L'\\' ? start + 3 : 0;
  size_t at = start;
  for (size_t found = 0; found < separators; ++found) {
    at = full.find(L'\\', at);
    if (at == std::wstring::npos || at == start) return 0;
    ++at;
  }
  return at;
}

std::vector<std::wstring> NamesAfter(const std::wstring& full, size_t root) {
  std::vector<std::wstring> names;
  for (size_t start = root; start < full.size();) {
    size_t end = full.find(L'\\', start);
    if (end == std::wstring::npos) end = full.size();
    if (end > start) names.push_back(full.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

HANDLE OpenBelow(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                 ULONG options, PSECURITY_DESCRIPTOR security) {
  if (!g_ntCreateFile || name.empty() || name.size() > 32767) return Fail(ERROR_INVALID_NAME);
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name.c_str());
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, security);
  IO_STATUS_BLOCK io = {};
  HANDLE handle = nullptr;
  const NTSTATUS status =
      g_ntCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
                     FILE_ATTRIBUTE_NORMAL, share, disposition,
                     options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status < 0) return Fail(g_ntStatusToError ? g_ntStatusToError(status) : ERROR_GEN_FAILURE);
  return handle;
}

bool IsReparsePoint(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return !GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

HANDLE OpenParentNoFollow(const std::wstring& path, std::wstring* name) {
  const std::wstring full = FullPath(path);
  const size_t rootLength = RootLength(full);
  const std::vector<std::wstring> names = NamesAfter(full, rootLength);
  if (rootLength == 0 || names.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  HANDLE folder = CreateFileW(full.substr(0, rootLength).c_str(), FILE_TRAVERSE | SYNCHRONIZE, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  for (size_t i = 0; i + 1 < names.size() && folder != INVALID_HANDLE_VALUE; ++i) {
    HANDLE next = OpenBelow(folder, names[i], FILE_TRAVERSE, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE);
    DWORD error = GetLastError();
    if (next != INVALID_HANDLE_VALUE && IsReparsePoint(next)) {
      CloseHandle(next);
      next = INVALID_HANDLE_VALUE;
      error = ERROR_CANT_RESOLVE_FILENAME;
    }
    CloseHandle(folder);
    folder = next == INVALID_HANDLE_VALUE ? Fail(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error) : next;
  }
  if (folder != INVALID_HANDLE_VALUE) *name = names.back();
  return folder;
}

HANDLE OpenNoFollow(const std::wstring& path, ACCESS_MASK access, ULONG share, ULONG disposition, bool truncate) {
  std::wstring name;
  const ScopedHandle folder(OpenParentNoFollow(path, &name));
  if (!folder.valid()) return INVALID_HANDLE_VALUE;
  HANDLE file = OpenBelow(folder.get(), name, access, share, disposition, FILE_NON_DIRECTORY_FILE);
  if (file == INVALID_HANDLE_VALUE) return file;
  const bool writes = (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
  BY_HANDLE_FILE_INFORMATION info;
  FILE_END_OF_FILE_INFO empty = {};
  DWORD error = ERROR_SUCCESS;
  if (!GetFileInformationByHandle(file, &info)) error = GetLastError();
  else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) error = ERROR_CANT_RESOLVE_FILENAME;
  else if (writes && info.nNumberOfLinks > 1) error = ERROR_TOO_MANY_LINKS;
  else if (truncate && !SetFileInformationByHandle(file, FileEndOfFileInfo, &empty, sizeof empty)) error = GetLastError();
  if (error == ERROR_SUCCESS) return file;
  CloseHandle(file);
  return Fail(error);
}

// NtSetInformationFile itself: Wine's SetFileInformationByHandle refuses a
// rename relative to a folder handle. FILE_RENAME_INFO has the layout of
// FILE_RENAME_INFORMATION.
bool RenameBelow(HANDLE file, HANDLE folder, const std::wstring& name) {
  if (!g_ntSetInformationFile) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return false;
  }
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), rename->FileName);
  IO_STATUS_BLOCK io = {};
  const NTSTATUS status =
      g_ntSetInformationFile(file, &io, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
  if (status >= 0) return true;
  SetLastError(g_ntStatusToError ? g_ntStatusToError(status) : ERROR_GEN_FAILURE);
  return false;
}

bool DeleteByHandle(HANDLE handle) {
  FILE_DISPOSITION_INFO dispose = {TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

PSECURITY_DESCRIPTOR PrivateFolderSecurity() {
  static const PSECURITY_DESCRIPTOR security = [] {
    PSECURITY_DESCRIPTOR built = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1,
                                                         &built, nullptr);
    return built;
  }();
  return security;
}

namespace {

using Sid = std::vector<BYTE>;

Sid CopyOf(PSID sid) {
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  return sid && IsValidSid(sid) ? Sid(bytes, bytes + GetLengthSid(sid)) : Sid();
}

Sid WellKnown(WELL_KNOWN_SID_TYPE type) {
  Sid sid(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(sid.size());
  if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return Sid();
  sid.resize(size);
  return sid;
}

Sid TokenSid(TOKEN_INFORMATION_CLASS kind) {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return Sid();
  const ScopedHandle held(opened);
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  if (!GetTokenInformation(opened, kind, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) return Sid();
  return CopyOf(kind == TokenOwner ? reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner
                                   : reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// Administrators, SYSTEM, the owner of our new objects, and our user when
// that owner is not Administrators.
const std::vector<Sid>& OurSids() {
  static const std::vector<Sid> ours = [] {
    const Sid administrators = WellKnown(WinBuiltinAdministratorsSid);
    const Sid owner = TokenSid(TokenOwner);
    std::vector<Sid> sids{administrators, WellKnown(WinLocalSystemSid), owner};
    if (owner != administrators) sids.push_back(TokenSid(TokenUser));
    return sids;
  }();
  return ours;
}

bool IsOurs(PSID sid) {
  const Sid copy = CopyOf(sid);
  if (copy.empty()) return false;
  for (const Sid& ours : OurSids())
    if (ours == copy) return true;
  return false;
}

constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                      FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                      GENERIC_ALL | MAXIMUM_ALLOWED;

}  // namespace

FolderState JudgeFolderSecurity(PSID owner, PACL dacl) {
  if (!IsOurs(owner)) return FolderState::kForeignOwner;
  if (!dacl) return FolderState::kOthersMayWrite;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) return FolderState::kUnreadable;
    switch (header->AceType) {
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
        const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
        if ((allowed->Mask & kChangeRights) && !IsOurs(const_cast<DWORD*>(&allowed->SidStart)))
          return FolderState::kOthersMayWrite;
        break;
      }
      case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
      case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        // Their trustee is not read here: any right to change counts.
        if (reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask & kChangeRights)
          return FolderState::kOthersMayWrite;
        break;
      default:  // denials, audits and labels grant nothing
        break;
    }
  }
  return FolderState::kPrivate;
}

}  // namespace win32
}  // namespace platform
