#pragma once

#include <ctime>
#include <string>

namespace quillet {

// "%02d/%02d/%02d %02d:%02d": month, day, two-digit year, hour, minute.
std::string FormatDateStamp(const std::tm& t);
// " %02d:%02d:%02d ", used in front of trace lines.
std::string FormatTimeStamp(const std::tm& t);

}  // namespace quillet
