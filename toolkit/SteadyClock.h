// The program's clock: milliseconds of std::chrono::steady_clock.
#pragma once

#include "toolkit/Clock.h"

namespace toolkit {

class SteadyClock : public Clock {
 public:
  uint64_t NowMs() const override;
};

}  // namespace toolkit
