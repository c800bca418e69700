#include "compose/dates.h"

#include <cstdio>

namespace quillet {

std::string FormatDateStamp(const std::tm& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d", t.tm_mon + 1, t.tm_mday,
                (t.tm_year + 1900) % 100, t.tm_hour, t.tm_min);
  return buf;
}

std::string FormatTimeStamp(const std::tm& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, " %02d:%02d:%02d ", t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

}  // namespace quillet
