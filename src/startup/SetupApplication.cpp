#include "startup/SetupApplication.h"

#include <easylogging++.h>

#include <cstdlib>

#include "SdkRuntime.h"
#include "analytics/SingleUserLog.h"
#include "net/ProxyResolver.h"
#include "runstate/RunState.h"

// Objects with static storage are destroyed in the reverse order of their
// construction: made first, the resolver and the SDK's runtime outlive every
// later static object that their threads might reach.
SetupApplication::SetupApplication() {
  ProxyResolver::Shared();
  SdkRuntime::Get();
}

SetupApplication::~SetupApplication() { ShutDown(); }

void SetupApplication::AttachAnalytics(CSingleUserLog& analytics) {
  RunState::Shared().SetEventSink(&analytics);
  analyticsAttached_ = true;
}

int SetupApplication::End(int exitCode) {
  ShutDown();
  if (workerOutlived_) std::_Exit(exitCode);
  return exitCode;
}

void SetupApplication::ShutDown() {
  if (ended_) return;
  ended_ = true;
  RunState::Shared().SetEventSink(nullptr);
  if (analyticsAttached_) SdkRuntime::Get().StopSender();
  LOG(INFO) << " Shut down" << (workerOutlived_ ? " (a worker outlived its wait: ending at once)" : "");
  el::Loggers::flushAll();
}
