// posix backend of the crash handling: a handler of the fatal signals
// writes a text report and starts "<program> -dmp <report name>" detached,
// through the held program file's descriptor. The handler calls only
// async-signal-safe functions (the forks are _Fork, which runs no atfork
// handlers and so takes none of malloc's locks), except backtrace(), whose
// first call (which may load libgcc) is made at installation, and which
// may still wait for the dynamic loader's lock: an alarm bounds the whole
// handling, so that a crashed process always ends. Only the first fault is
// handled; a fault of another thread meanwhile waits for the end.
#include "platform/CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/HeldProgram.h"
#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"

namespace platform {
namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr unsigned kHandlingLimitSeconds = 20;

// Prepared at installation: the report's folder (held open, so that the
// report is created in the folder examined then, without following a link),
// its name, the held program to start (empty: no copy) and the copy's words.
struct CrashTarget {
  int folder = -1;
  std::string launchPath, program, reportName;
  char* argv[4] = {};
};
CrashTarget* g_target = nullptr;
std::atomic<bool> g_entered{false};
char g_altStack[64 * 1024];  // the handler still runs when the stack overflowed

void WriteText(int fd, const char* text) { (void)!write(fd, text, std::strlen(text)); }

// Decimal or hexadecimal digits of `value` without the C library.
void WriteNumber(int fd, uintptr_t value, unsigned base) {
  char digits[32];
  size_t at = sizeof digits;
  do {
    digits[--at] = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0 && at > 0);
  (void)!write(fd, digits + at, sizeof digits - at);
}

void WriteReport(int signal, const siginfo_t* info) {
  const int fd = openat(g_target->folder, g_target->reportName.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  WriteText(fd, "Setup crash report\nsignal ");
  WriteNumber(fd, static_cast<uintptr_t>(signal), 10);
  WriteText(fd, " (");
  WriteText(fd, sigabbrev_np(signal) ? sigabbrev_np(signal) : "?");
  WriteText(fd, ")\naddress 0x");
  WriteNumber(fd, reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr), 16);
  WriteText(fd, "\nbacktrace:\n");
  void* frames[64];
  backtrace_symbols_fd(frames, backtrace(frames, 64), fd);
  close(fd);
}

// Double fork, so that the uploading copy outlives this process unwaited.
void StartUploadCopy() {
  if (g_target->launchPath.empty()) return;
  const pid_t child = _Fork();
  if (child != 0) {
    if (child > 0) waitpid(child, nullptr, 0);
    return;
  }
  setsid();
  if (_Fork() == 0) {
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execv(g_target->launchPath.c_str(), g_target->argv);
  }
  _exit(0);
}

// The alarm's default action ends the process should the handling hang.
void BoundHandling() {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(SIGALRM, &fallback, nullptr);
  sigset_t alarm;
  sigemptyset(&alarm);
  sigaddset(&alarm, SIGALRM);
  pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
  ::alarm(kHandlingLimitSeconds);
}

void OnFatalSignal(int signal, siginfo_t* info, void*) {
  if (g_entered.exchange(true)) {
    for (;;) pause();
  }
  BoundHandling();
  WriteReport(signal, info);
  StartUploadCopy();
  // The default action ends the process as the fault would have.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

void InstallCrashHandler(const std::wstring& pathStem) {
  if (g_target) return;
  static CrashTarget target;
  const std::string reportPath = posix::NativePath(pathStem + L".crash.txt");
  target.folder = posix::OpenParentNoFollow(reportPath, &target.reportName);
  if (HeldProgram* own = OwnProgram()) {
    target.launchPath = WideToUtf8(own->LaunchPath());
    target.program = posix::NativePath(System().ModulePath());
  }
  static char dumpSwitch[] = "-dmp";
  target.argv[0] = target.program.data();
  target.argv[1] = dumpSwitch;
  target.argv[2] = target.reportName.data();
  g_target = &target;

  void* warmUp[1];
  backtrace(warmUp, 1);
  stack_t stack{};
  stack.ss_sp = g_altStack;
  stack.ss_size = sizeof g_altStack;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = &OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (const int signal : kFatalSignals) sigaction(signal, &action, nullptr);
}

}  // namespace platform
