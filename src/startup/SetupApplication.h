// The owner of the process's life. What the threads of a run share until its
// end (the proxy resolver, the reporting SDK's sender thread, the analytics
// events of the lower layers and the log) is made here first and torn down
// here in one order, before any static object of the program is destroyed:
// the event sink is detached, the SDK's sender is stopped (undelivered items
// stay queued for the next run), the log is flushed. A worker that outlived
// its wait may still reach any of them, so then the process ends at once,
// without running the destructors of static objects.
#pragma once

class CSingleUserLog;

class SetupApplication {
 public:
  SetupApplication();
  ~SetupApplication();
  SetupApplication(const SetupApplication&) = delete;
  SetupApplication& operator=(const SetupApplication&) = delete;

  // The front end that receives the lower layers' events until shut-down;
  // its SDK's sender is stopped at shut-down.
  void AttachAnalytics(CSingleUserLog& analytics);
  // A worker thread did not end within its wait.
  void NoteWorkerOutlived() { workerOutlived_ = true; }
  // The shut-down described above; returns `exitCode` unless a worker
  // outlived its wait (then the process ends here with it).
  int End(int exitCode);

 private:
  void ShutDown();

  bool analyticsAttached_ = false;
  bool workerOutlived_ = false;
  bool ended_ = false;
};
