// The Windows crash handling in a program that crashes on purpose
// (tests/win/probe/CrashProbe.cpp): the minidump, the hidden "-dmp" copy
// started from the held program file, one handling for two faults, and a
// crash that leaves the heap locked, which must still end the process.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "WinTestUtil.h"
#include "platform/CrashHandler.h"

namespace {

class Win32CrashTest : public ::testing::Test {
 protected:
  // Runs a copy of the probe from the test's folder; its exit code, or -1
  // when it does not end within `limitMs`.
  long Crash(const wchar_t* how, DWORD limitMs = 60000) {
    const std::wstring probe = folder_.path() + L"\\crashprobe.exe";
    CopyFileW((wintest::ProgramFolder() + L"crashprobe.exe").c_str(), probe.c_str(), FALSE);
    SetEnvironmentVariableW(L"CRASHPROBE_RECORD", Record().c_str());
    std::wstring commandLine = L"\"" + probe + L"\" \"" + folder_.path() + L"\" " + how;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                        CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"CRASHPROBE_RECORD", nullptr);
    if (!started) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, limitMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
  }
  std::wstring Record() const { return folder_.path() + L"\\copies.txt"; }
  std::wstring Dump() const { return folder_.path() + L"\\probe.dmp"; }
  static std::string Read(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The lines the copies recorded, once `count` are there or 30 s passed.
  std::string WaitForCopies(size_t count) const {
    std::string text;
    for (int i = 0; i < 300; ++i) {
      text = Read(Record());
      if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= count) break;
      Sleep(100);
    }
    return text;
  }

  wintest::WinTempFolder folder_{L"Crash"};
};

// Without the held program file the dump is written but no copy starts;
// with it, the copy is the held file with "-dmp " and the dump's name.
TEST_F(Win32CrashTest, AFaultLeavesAMinidumpAndOnlyTheHeldFileStartsTheUploadingCopy) {
  EXPECT_EQ(Crash(L"unheld"), static_cast<long>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_EQ(Read(Dump()).substr(0, 4), "MDMP");
  DeleteFileW(Dump().c_str());
  EXPECT_EQ(Crash(L"fault"), static_cast<long>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_EQ(Read(Dump()).substr(0, 4), "MDMP");
  // One line: the unheld run's copy, had it started, would have come first.
  EXPECT_EQ(WaitForCopies(1), platform::WideToUtf8(folder_.path()) + "\\crashprobe.exe -dmp probe.dmp\n");
}

// An exception nobody catches is handled as a fault of its own code.
TEST_F(Win32CrashTest, AnUncaughtExceptionIsHandledAsAFault) {
  EXPECT_EQ(Crash(L"uncaught"), static_cast<long>(platform::kUncaughtExceptionCode));
  EXPECT_EQ(Read(Dump()).substr(0, 4), "MDMP");
  EXPECT_EQ(WaitForCopies(1), platform::WideToUtf8(folder_.path()) + "\\crashprobe.exe -dmp probe.dmp\n");
}

// Two threads fault at once: the first is handled, the other waits for it.
TEST_F(Win32CrashTest, TwoFaultsAtOnceEndWithOneDump) {
  EXPECT_EQ(Crash(L"twofaults"), static_cast<long>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_EQ(Read(Dump()).substr(0, 4), "MDMP");
  EXPECT_EQ(WaitForCopies(1), platform::WideToUtf8(folder_.path()) + "\\crashprobe.exe -dmp probe.dmp\n");
}

// The dump needs the heap, which another thread holds: the handling gives
// up after its time limit and the process ends instead of hanging (and
// keeping the single-instance mutex).
TEST_F(Win32CrashTest, ACrashWhileAnotherThreadHoldsTheHeapStillEnds) {
  EXPECT_EQ(Crash(L"heaplocked", 120000), static_cast<long>(EXCEPTION_ACCESS_VIOLATION));
}

}  // namespace
