// The program file held against change under Wine: neither the test
// program's own file (held for the rest of the run, as Setup holds its own)
// nor a held copy of the crash probe can be renamed, written or deleted
// while held; the held copy starts from its file and comes free when let go.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/HeldProgram.h"
#include "WinTestUtil.h"

namespace {

// Whether `path` can be renamed (and back), opened for writing, or deleted.
struct Changes {
  bool renamed, written, deleted;
};
Changes TryToChange(const std::wstring& path, bool tryDelete) {
  Changes changes{};
  const std::wstring moved = path + L".moved";
  changes.renamed = MoveFileW(path.c_str(), moved.c_str()) != FALSE;
  if (changes.renamed) MoveFileW(moved.c_str(), path.c_str());
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  changes.written = writer != INVALID_HANDLE_VALUE;
  if (changes.written) CloseHandle(writer);
  changes.deleted = tryDelete && DeleteFileW(path.c_str()) != FALSE;
  return changes;
}

TEST(Win32HeldProgram, TheOwnFileCannotBeRenamedOrWrittenWhileHeld) {
  const std::wstring self = platform::RealSystem().ModulePath();
  ASSERT_TRUE(platform::HoldOwnProgram());
  ASSERT_NE(platform::OwnProgram(), nullptr);
  EXPECT_EQ(platform::OwnProgram()->LaunchPath(), self);
  const Changes changes = TryToChange(self, false);  // deleting it would end the run
  EXPECT_FALSE(changes.renamed);
  EXPECT_FALSE(changes.written);
}

TEST(Win32HeldProgram, AHeldCopyStartsFromItsFileAndComesFreeWhenLetGo) {
  wintest::WinTempFolder folder(L"Held");
  const std::wstring probe = folder.path() + L"\\probe.exe";
  ASSERT_TRUE(CopyFileW((wintest::ProgramFolder() + L"crashprobe.exe").c_str(), probe.c_str(), FALSE));
  std::unique_ptr<platform::HeldProgram> held = platform::HeldProgram::Open(probe);
  ASSERT_TRUE(held);
  Changes changes = TryToChange(probe, true);
  EXPECT_FALSE(changes.renamed);
  EXPECT_FALSE(changes.written);
  EXPECT_FALSE(changes.deleted);

  // The probe's "-dmp" mode writes its path and arguments down.
  const std::wstring record = folder.path() + L"\\started.txt";
  SetEnvironmentVariableW(L"CRASHPROBE_RECORD", record.c_str());
  EXPECT_TRUE(held->Start(L"-dmp started", false));
  SetEnvironmentVariableW(L"CRASHPROBE_RECORD", nullptr);
  std::string text;
  for (int i = 0; i < 300 && text.empty(); ++i, Sleep(100)) {
    std::ifstream in(record.c_str(), std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_EQ(text, platform::WideToUtf8(probe) + " -dmp started\n");

  held.reset();
  changes = TryToChange(probe, false);
  EXPECT_TRUE(changes.renamed);
  EXPECT_TRUE(changes.written);
}

}  // namespace
