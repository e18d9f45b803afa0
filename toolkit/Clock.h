// The time the message loop runs its timers by: steady milliseconds in a
// program, a clock the test moves in tests.
#pragma once

#include <cstdint>

namespace toolkit {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t NowMs() const = 0;
};

}  // namespace toolkit
