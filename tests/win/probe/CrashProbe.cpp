// A program that crashes on purpose under the installer's crash handling,
// for tests/win/Win32CrashTest.cpp:
//   crashprobe <folder> <how>   installs the crash handler with the crash
//       file "<folder>\probe.dmp" and faults: "fault" (held program file,
//       one access violation), "unheld" (the same without holding the
//       program file), "twofaults" (two threads at once), "heaplocked"
//       (while another thread holds the process heap's lock), "uncaught"
//       (throws an exception nobody catches)
//   crashprobe -dmp <name>      the crash handler's copy: appends its
//       program path and arguments to the file named by CRASHPROBE_RECORD
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/CrashHandler.h"
#include "platform/HeldProgram.h"
#include "platform/Platform.h"

namespace {

void Record(int argc, wchar_t** argv) {
  wchar_t record[MAX_PATH] = L"";
  if (!GetEnvironmentVariableW(L"CRASHPROBE_RECORD", record, MAX_PATH)) return;
  wchar_t self[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = self;
  for (int i = 1; i < argc; ++i) line += std::wstring(L" ") + argv[i];
  if (FILE* out = _wfopen(record, L"ab")) {
    std::fputs((platform::WideToUtf8(line) + "\n").c_str(), out);
    std::fclose(out);
  }
}

[[noreturn]] void Fault() {
  *static_cast<volatile int*>(nullptr) = 1;
  std::abort();
}

// Both threads fault as soon as both are ready.
void TwoFaults() {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread first([go] { WaitForSingleObject(go, INFINITE); Fault(); });
  std::thread second([go] { WaitForSingleObject(go, INFINITE); Fault(); });
  SetEvent(go);
  first.join();
  second.join();
}

// The heap's lock stays with another thread, as when a thread crashes while
// another allocates.
void FaultWithHeapLocked() {
  HANDLE locked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([locked] {
    HeapLock(GetProcessHeap());
    SetEvent(locked);
    Sleep(INFINITE);
  });
  WaitForSingleObject(locked, INFINITE);
  Fault();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"-dmp") {
    Record(argc, argv);
    return 0;
  }
  if (argc < 3) return 2;
  const std::wstring how = argv[2];
  if (how != L"unheld" && !platform::HoldOwnProgram()) return 3;
  platform::InstallCrashHandler(std::wstring(argv[1]) + L"\\probe");
  if (how == L"twofaults") TwoFaults();
  if (how == L"heaplocked") FaultWithHeapLocked();
  if (how == L"uncaught") throw std::runtime_error("nobody catches this");
  Fault();
}
