#pragma once

#include <cstdint>
#include <ctime>

namespace quillet {

// Time as the engine sees it. Injected so that tests control the tick count,
// the wall clock and sleeping without waiting real seconds.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; wraps at 2^32 like a 32-bit tick count.
  virtual uint32_t TickCount() = 0;
  virtual std::tm LocalTime() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

class SystemClock final : public Clock {
 public:
  uint32_t TickCount() override;
  std::tm LocalTime() override;
  void Sleep(uint32_t milliseconds) override;
};

}  // namespace quillet
