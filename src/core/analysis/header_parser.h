#pragma once

#include "analysis/message_record.h"

namespace quillet {

inline constexpr int kMaxHeaderLines = 50;

// Cuts the record's text into header and body in place and points the
// seventeen header fields at their lines (the last occurrence wins).
void ParseMessageHeaders(MessageRecord& record);

}  // namespace quillet
