#pragma once

#include <atomic>
#include <ctime>

#include "platform/clock.h"

namespace quillet::testing {

// A clock that only moves when told to; sleeping advances the tick count.
class FakeClock final : public Clock {
 public:
  FakeClock() { SetLocalTime(2026, 12, 7, 10, 30); }  // a Monday

  uint32_t TickCount() override { return tick_; }
  std::tm LocalTime() override { return local_; }
  void Sleep(uint32_t ms) override { tick_ += ms; }

  void Advance(uint32_t ms) { tick_ += ms; }
  void SetTick(uint32_t tick) { tick_ = tick; }
  void SetLocalTime(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    std::time_t when = timegm(&t);
    gmtime_r(&when, &local_);  // fills in the weekday
  }

 private:
  std::atomic<uint32_t> tick_{1000};
  std::tm local_{};
};

}  // namespace quillet::testing
