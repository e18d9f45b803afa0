// Sets the run state's download settings to their start values for a test
// and restores the earlier values afterwards (the run state is process-wide).
#pragma once

#include <cstdint>
#include <vector>

#include "runstate/RunState.h"

class RunStateGuard {
 public:
  RunStateGuard() : saved_(Get()) { Set({0, 0, 0, 0, 0, 3, 20}); }
  ~RunStateGuard() { Set(saved_); }
  RunStateGuard(const RunStateGuard&) = delete;
  RunStateGuard& operator=(const RunStateGuard&) = delete;

 private:
  static std::vector<int32_t> Get() {
    RunState& s = RunState::Shared();
    return {s.GetDownloaderConfig(), s.GetSliceNum(), s.GetSliceSize(), s.GetAdditionalTime(),
            s.GetBackRunning(), s.GetConnectTimeout(), s.GetTransferTimeout()};
  }
  static void Set(const std::vector<int32_t>& v) {
    RunState& s = RunState::Shared();
    s.SetDownloaderConfig(v[0]);
    s.SetSliceNum(v[1]);
    s.SetSliceSize(v[2]);
    s.SetAdditionalTime(v[3]);
    s.SetBackRunning(v[4]);
    s.SetConnectTimeout(v[5]);
    s.SetTransferTimeout(v[6]);
  }

  std::vector<int32_t> saved_;
};
