// Files, folders, INI files and text conversions of the win32 backend: files
// reached without following a link, the held package and private folders.
#include <gtest/gtest.h>

// Before windows.h: libcurl's winsock2.h must come first.
#include "platform/Digest.h"
#include "unit/SliceDownload.h"
#include "WinTestUtil.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "download/CDownloader.h"
#include "download/DownLoadImpl.h"
#include "platform/PinnedFile.h"
#include "platform/Process.h"
#include "platform/SharedFile.h"
#include "platform/win32/Win32Common.h"
#include "signing/SignedFiles.h"
#include "system/FuntionImpl.h"

namespace {

TEST(Win32Files, PathSeparatorIsBackslash) { EXPECT_EQ(platform::kPathSep, L'\\'); }

TEST(Win32Files, ExistsAndIsDirectory) {
  wintest::WinTempFolder folder(L"Files");
  const std::wstring file = folder.WriteFile(L"a.txt", "x");
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::IsDirectory(file));
  EXPECT_TRUE(platform::FileExists(folder.path()));
  EXPECT_TRUE(platform::IsDirectory(folder.path()));
  EXPECT_FALSE(platform::FileExists(folder.path() + L"\\missing.txt"));
  EXPECT_FALSE(platform::IsDirectory(folder.path() + L"\\missing"));
}

// Whole files as bytes (no text-mode changes), by a name outside any ANSI
// code page, also while another handle writes to the file.
TEST(Win32Files, ReadFileBytesReadsTheWholeFileByAnyName) {
  wintest::WinTempFolder folder(L"Bytes");
  std::string content(40000, 'x');
  content.append("\r\n\x1A\0end", 8);
  const std::wstring file = folder.WriteFile(L"\u0436\u4e2d.bin", content);
  platform::win32::ScopedHandle writer(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer.valid());
  std::string bytes = "stale";
  ASSERT_TRUE(platform::ReadFileBytes(file, &bytes));
  EXPECT_EQ(bytes, content);
  EXPECT_FALSE(platform::ReadFileBytes(folder.path() + L"\\missing.bin", &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(platform::ReadFileBytes(folder.path(), &bytes));
}

TEST(Win32Files, CreateOneDirectoryReportsWin32Errors) {
  wintest::WinTempFolder folder(L"Mkdir");
  const std::wstring sub = folder.path() + L"\\sub";
  EXPECT_EQ(platform::CreateOneDirectory(sub), platform::kErrorSuccess);
  EXPECT_EQ(platform::CreateOneDirectory(sub), platform::kErrorAlreadyExists);
  EXPECT_EQ(platform::CreateOneDirectory(folder.path() + L"\\no\\such\\parent"),
            platform::kErrorPathNotFound);
}

TEST(Win32Files, ListDirectoryWithoutDotEntries) {
  wintest::WinTempFolder folder(L"List");
  folder.WriteFile(L"one.txt", "1");
  folder.WriteFile(L"two.txt", "2");
  CreateDirectoryW((folder.path() + L"\\sub").c_str(), nullptr);
  std::vector<platform::DirEntry> entries = platform::ListDirectory(folder.path());
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, L"one.txt");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, L"sub");
  EXPECT_TRUE(entries[1].isDirectory);
  EXPECT_EQ(entries[2].name, L"two.txt");
  // A trailing separator gives the same listing; a missing folder none.
  EXPECT_EQ(platform::ListDirectory(folder.path() + L"\\").size(), 3u);
  EXPECT_TRUE(platform::ListDirectory(folder.path() + L"\\missing").empty());
}

class Win32Ini : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = folder_.WriteFile(L"ov_downloader.cfg",
                              "[Settings]\r\n"
                              "TestEnv=1\r\n"
                              "AutoRun=2\r\n"
                              "Name=Quenlo Setup\r\n"
                              "[Other]\r\n"
                              "TestEnv=7\r\n");
  }
  wintest::WinTempFolder folder_{L"Ini"};
  std::wstring file_;
};

TEST_F(Win32Ini, ReadsIntegers) {
  EXPECT_EQ(platform::IniReadInt(file_, L"Settings", L"TestEnv", 0), 1);
  EXPECT_EQ(platform::IniReadInt(file_, L"Settings", L"AutoRun", 0), 2);  // 2 is not 1
  EXPECT_NE(platform::IniReadInt(file_, L"Settings", L"AutoRun", 0), 1);
  EXPECT_EQ(platform::IniReadInt(file_, L"Other", L"TestEnv", 0), 7);
  EXPECT_EQ(platform::IniReadInt(file_, L"settings", L"testenv", 0), 1);  // case-insensitive
}

TEST_F(Win32Ini, MissingKeySectionOrFileGivesTheDefault) {
  EXPECT_EQ(platform::IniReadInt(file_, L"Settings", L"CrashTest", 5), 5);
  EXPECT_EQ(platform::IniReadInt(file_, L"Missing", L"TestEnv", 0), 0);
  EXPECT_EQ(platform::IniReadInt(folder_.path() + L"\\none.cfg", L"Settings", L"TestEnv", 3), 3);
  EXPECT_EQ(platform::IniReadString(file_, L"Missing", L"Name", L"dflt"), L"dflt");
  EXPECT_EQ(platform::IniReadString(folder_.path() + L"\\none.cfg", L"Settings", L"Name", L""), L"");
}

TEST_F(Win32Ini, ReadsStrings) {
  EXPECT_EQ(platform::IniReadString(file_, L"Settings", L"Name", L""), L"Quenlo Setup");
  EXPECT_EQ(platform::IniReadString(file_, L"Settings", L"AutoRun", L""), L"2");
}

TEST_F(Win32Ini, ReadsLongStrings) {
  const std::string longValue(3000, 'v');
  const std::wstring file = folder_.WriteFile(L"long.ini", "[S]\r\nK=" + longValue + "\r\n");
  EXPECT_EQ(platform::IniReadString(file, L"S", L"K", L"").size(), longValue.size());
}

TEST(Win32Text, ConversionsRoundTrip) {
  const std::wstring wide = L"Setup \u00e9\u00fc \u4e2d\u6587 \U0001F600";
  const std::string utf8 = platform::WideToUtf8(wide);
  EXPECT_EQ(utf8, "Setup \xC3\xA9\xC3\xBC \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80");
  EXPECT_EQ(platform::Utf8ToWide(utf8), wide);
  EXPECT_EQ(platform::WideToUtf8(L""), "");
  EXPECT_EQ(platform::Utf8ToWide(""), L"");
  // Exactly the given length, embedded NULs included.
  const std::wstring withNul(L"a\0b", 3);
  EXPECT_EQ(platform::WideToUtf8(withNul), std::string("a\0b", 3));
  EXPECT_EQ(platform::AnsiToWide(platform::WideToAnsi(L"plain ASCII")), L"plain ASCII");
}

// Fullwidth solidus, reverse solidus and full stop have best-fit forms / \ .
// in the Western code pages: a name from the server must not become a path
// through them.
TEST(Win32Text, NoBestFitAndExactConversionsRefuseLookAlikes) {
  const std::wstring lookAlikes = L"1.0\uFF0F..\uFF3C..\uFF0Ex";
  const std::string narrow = platform::WideToAnsi(lookAlikes);
  EXPECT_EQ(narrow.find_first_of("/\\"), std::string::npos) << narrow;
  EXPECT_EQ(narrow.find("..."), std::string::npos) << narrow;
  std::string exact;
  EXPECT_FALSE(platform::WideToAnsiExact(lookAlikes, &exact));
  EXPECT_TRUE(platform::WideToAnsiExact(L"C:\\Quenlo\\setup_1.0.exe", &exact));
  EXPECT_EQ(exact, "C:\\Quenlo\\setup_1.0.exe");

  // The download engine refuses such a target instead of writing elsewhere.
  wintest::WinTempFolder folder(L"BestFit");
  std::string cdnInfo;
  const std::wstring target = folder.path() + L"\\inner\uFF3C..\uFF3C..\uFF3Cx.exe";
  EXPECT_EQ(CDownLoadImpl::SuperDownloadFile(L"http://127.0.0.1:9/x.exe", target.c_str(), cdnInfo, false),
            OpenFileFailed);
  EXPECT_TRUE(platform::ListDirectory(folder.path()).empty());
}

// Every file function walks the path folder by folder below the drive root
// (NtCreateFile relative to the folder before): nested paths, text mode,
// renames into another folder and deletions work as the Win32 calls do, and
// a second name of another file (a hard link) is never written.
TEST(Win32NoFollow, FilesAreReachedFolderByFolder) {
  wintest::WinTempFolder folder(L"NoFollow");
  const std::wstring a = folder.path() + L"\\a", b = a + L"/b";
  EXPECT_EQ(platform::CreateOneDirectory(a), platform::kErrorSuccess);
  EXPECT_EQ(platform::CreateOneDirectory(b), platform::kErrorSuccess);
  uint32_t error = 0;
  FILE* file = platform::OpenFile(b + L"\\f.txt", "w", &error);
  ASSERT_NE(file, nullptr) << error;
  std::fputs("line\n", file);
  std::fclose(file);
  EXPECT_TRUE(platform::RenameOver(b + L"\\f.txt", a + L"\\g.txt"));
  file = platform::OpenFile(platform::WideToAnsi(a + L"\\g.txt"), "rb", &error);
  ASSERT_NE(file, nullptr) << error;
  char text[16] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, file), 6u);
  std::fclose(file);
  EXPECT_STREQ(text, "line\r\n");

  const std::wstring victim = folder.WriteFile(L"victim.txt", "precious");
  ASSERT_TRUE(CreateHardLinkW((a + L"\\hard.txt").c_str(), victim.c_str(), nullptr));
  EXPECT_EQ(platform::OpenFile(a + L"\\hard.txt", "w", &error), nullptr);
  EXPECT_EQ(error, 1142u);  // ERROR_TOO_MANY_LINKS
  EXPECT_EQ(platform::OpenSharedFile(a + L"\\hard.txt", platform::OpenMode::kAlways), nullptr);
  file = platform::OpenFile(victim, "rb", &error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fread(text, 1, sizeof text, file), 8u);
  std::fclose(file);

  EXPECT_TRUE(platform::RemoveFile(a + L"\\g.txt", &error));
  EXPECT_FALSE(platform::RemoveFile(a + L"\\g.txt", &error));
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_FALSE(platform::RemoveFile(a + L"\\none\\g.txt", &error));
  EXPECT_EQ(error, platform::kErrorPathNotFound);
}

// The held package: no other open may write, rename or delete it; its
// hashes and signature are read through the handle, and CreateProcessW
// starts it while it is held.
TEST(Win32PinnedFile, TheHeldPackageCannotBeChangedAndIsWhatStarts) {
  wintest::WinTempFolder folder(L"Pinned");
  const std::wstring package = folder.path() + L"\\quenlo_setup_1.0.exe";
  ASSERT_TRUE(CopyFileW((wintest::ProgramFolder() + L"packages\\quenlo_setup.exe").c_str(), package.c_str(), TRUE));
  uint32_t error = 0;
  std::unique_ptr<platform::PinnedFile> held = platform::OpenPinnedFile(package, &error);
  ASSERT_TRUE(held) << error;

  const std::wstring moved = folder.path() + L"\\moved.exe";
  EXPECT_FALSE(MoveFileW(package.c_str(), moved.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(CreateFileW(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileW(package.c_str()));

  const std::string bytes = signing::ReadBytes(std::filesystem::path(package));
  EXPECT_EQ(CDownLoadImpl::checkMD5(*held, platform::AnsiToWide(md5Hex(bytes)), L"", L"1.0",
                                    platform::AnsiToWide(sha256Hex(bytes))),
            CDownLoadImpl::kHashesMatch);
  EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(*held));

  const std::wstring log = folder.path() + L"\\standin.log";
  auto child = platform::StartChildProcess(*held, L" /LOG=\"" + log + L"\"", &error);
  ASSERT_TRUE(child) << error;
  uint32_t code = 0;
  ASSERT_TRUE(child->Wait(60000, &code));
  EXPECT_EQ(code, 2u);  // the stand-in without /DIR=
  const std::string logText = signing::ReadBytes(std::filesystem::path(log));
  EXPECT_NE(logText.find("Original Setup EXE: " + platform::WideToUtf8(package)), std::string::npos) << logText;

  held.reset();
  EXPECT_TRUE(MoveFileW(package.c_str(), moved.c_str()));
}

// The security of a private folder as it is built and as it is judged: a
// protected DACL (nothing inherited) granting full control to Administrators
// and SYSTEM alone. Wine keeps no ACLs of files (it derives them from the
// Unix mode), so the descriptor given to the folder is what is read back.
TEST(Win32PrivateFolder, TheDescriptorGrantsAdministratorsAndSystemAlone) {
  const PSECURITY_DESCRIPTOR security = platform::win32::PrivateFolderSecurity();
  ASSERT_NE(security, nullptr);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(security, &control, &revision));
  EXPECT_EQ(control & (SE_DACL_PRESENT | SE_DACL_PROTECTED), SE_DACL_PRESENT | SE_DACL_PROTECTED);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted));
  ASSERT_NE(dacl, nullptr);
  ASSERT_EQ(dacl->AceCount, 2u);
  const WELL_KNOWN_SID_TYPE expected[] = {WinBuiltinAdministratorsSid, WinLocalSystemSid};
  for (DWORD i = 0; i < 2; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_TRUE(IsWellKnownSid(reinterpret_cast<PSID>(&ace->SidStart), expected[i])) << i;
  }

  const std::pair<const wchar_t*, platform::FolderState> cases[] = {
      {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", platform::FolderState::kPrivate},
      {L"O:SYD:P(A;;FA;;;BA)(A;;0x1200a9;;;WD)(D;;FA;;;AU)", platform::FolderState::kPrivate},  // read, deny
      {L"O:WDD:P(A;;FA;;;BA)", platform::FolderState::kForeignOwner},
      {L"O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;BA)", platform::FolderState::kForeignOwner},
      {L"O:BAD:(A;;FA;;;BA)(A;OICIIO;0x1301bf;;;AU)", platform::FolderState::kOthersMayWrite},  // what it will hold
      {L"O:BAD:(A;;FA;;;BA)(A;;0x4;;;BU)", platform::FolderState::kOthersMayWrite},  // add a subfolder
  };
  for (const auto& item : cases) {
    PSECURITY_DESCRIPTOR parsed = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(item.first, SDDL_REVISION_1, &parsed, nullptr))
        << platform::WideToUtf8(item.first);
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    GetSecurityDescriptorOwner(parsed, &owner, &ownerDefaulted);
    dacl = nullptr;
    GetSecurityDescriptorDacl(parsed, &present, &dacl, &defaulted);
    EXPECT_EQ(platform::win32::JudgeFolderSecurity(owner, present ? dacl : nullptr), item.second)
        << platform::WideToUtf8(item.first);
    LocalFree(parsed);
  }
  // No DACL at all: everybody may.
  std::vector<BYTE> administrators(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(administrators.size());
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators.data(), &size));
  EXPECT_EQ(platform::win32::JudgeFolderSecurity(administrators.data(), nullptr),
            platform::FolderState::kOthersMayWrite);
}

// On disk: a folder made private is judged private and is not made twice; a
// folder opened to everybody is judged so and, being empty, can be removed.
TEST(Win32PrivateFolder, FoldersAreMadeJudgedAndRemoved) {
  wintest::WinTempFolder folder(L"Private");
  const std::wstring mine = folder.path() + L"\\RIVovaravizu";
  EXPECT_EQ(platform::CheckPrivateFolder(mine), platform::FolderState::kMissing);
  EXPECT_EQ(platform::CreatePrivateFolder(mine), platform::kErrorSuccess);
  EXPECT_EQ(platform::CreatePrivateFolder(mine), platform::kErrorAlreadyExists);
  EXPECT_EQ(platform::CheckPrivateFolder(mine), platform::FolderState::kPrivate);

  const std::wstring open = folder.path() + L"\\open";
  ASSERT_TRUE(CreateDirectoryW(open.c_str(), nullptr));
  PSECURITY_DESCRIPTOR everybody = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                   &everybody, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(everybody, &present, &dacl, &defaulted);
  ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(open.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, dacl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(everybody);
  EXPECT_EQ(platform::CheckPrivateFolder(open), platform::FolderState::kOthersMayWrite);
  EXPECT_EQ(platform::CheckPrivateFolder(folder.WriteFile(L"file", "x")), platform::FolderState::kNotAFolder);
  EXPECT_FALSE(platform::RemoveFolderOrLink(folder.path() + L"\\file"));
  EXPECT_TRUE(platform::RemoveFolderOrLink(open));
  EXPECT_FALSE(platform::FileExists(open));
  folder.WriteFile(L"RIVovaravizu\\setup_1.0.exe", "x");
  EXPECT_FALSE(platform::RemoveFolderOrLink(mine));  // not empty
}

// The download pool's file lock is its own: another program that holds
// the name "mutex_for_downloadthread" (here a thread that owns a mutex of
// that name) blocks no write into a download's target.
TEST(Win32Files, ANamedMutexElsewhereBlocksNoDownloadWrite) {
  HANDLE owned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread owner([&] {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"mutex_for_downloadthread");
    SetEvent(owned);
    WaitForSingleObject(release, INFINITE);
    if (mutex) {
      ReleaseMutex(mutex);
      CloseHandle(mutex);
    }
  });
  WaitForSingleObject(owned, INFINITE);
  wintest::WinTempFolder folder(L"DownloadLock");
  auto written = std::async(std::launch::async, [&] {
    SliceDownload slice(std::filesystem::path(folder.path()) / L"target.bin", "http://host/file.bin", 0, 9, 10);
    slice.AcceptPartial();
    return slice.Write("0123456789");
  });
  // Without the lock of its own, the write would wait for the owner forever.
  EXPECT_EQ(written.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  SetEvent(release);
  owner.join();
  EXPECT_EQ(written.get(), 10u);
  CloseHandle(owned);
  CloseHandle(release);
}

}  // namespace
