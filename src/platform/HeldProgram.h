// A program file held open so that what is started from it is the file that
// was opened, whatever happens to its path meanwhile. Setup runs elevated
// from the Downloads folder, where the signed-in user (unelevated) may
// rename a running program and put another file under its name; every copy
// of itself that Setup starts must therefore come from the file it runs.
// Implemented by the posix/ and win32/ backends.
#pragma once

#include <memory>
#include <string>

namespace platform {

class HeldProgram {
 public:
  // Opens the file at `path`: on Windows with a handle that lets others
  // only read it, so that it can be neither written, renamed nor deleted
  // while held; on posix, where an open file can always be renamed, with a
  // descriptor that programs are started through. Null when it cannot be
  // opened.
  static std::unique_ptr<HeldProgram> Open(const std::wstring& path);
  // The file of the running program itself; null when it cannot be held,
  // or when the program's path no longer names the file that runs (it was
  // replaced before it could be opened).
  static std::unique_ptr<HeldProgram> OpenRunning();

  virtual ~HeldProgram() = default;  // lets the file go
  // What a copy is started from: the file's path on Windows (which the hold
  // keeps naming this file), "/proc/self/fd/N" of the descriptor on posix.
  virtual std::wstring LaunchPath() const = 0;
  // Starts the held program detached, shown or hidden, with `parameters`
  // (Windows: the command line after the program's name; posix: the words
  // of it split at blanks). False when it does not start.
  virtual bool Start(const std::wstring& parameters, bool show) = 0;
};

// Holds the running program's own file (OpenRunning) for the rest of the
// process; called once at start-up, before any copy of the program is
// started. When it fails, no copy is ever started (ISystem::StartOwnCopy).
bool HoldOwnProgram();
// The held own program; null before HoldOwnProgram or when it failed.
HeldProgram* OwnProgram();

}  // namespace platform
