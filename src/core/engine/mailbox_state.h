#pragma once

#include <array>
#include <cstdint>

#include "store/settings.h"

namespace quillet {

inline constexpr int kMaxUids = 4096;
inline constexpr size_t kUidRecordSize = 72;
inline constexpr size_t kMaxUidLength = 70;
inline constexpr uint16_t kNotHandled = 0x6363;

struct UidRecord {
  char text[kUidRecordSize];
};

// Per-account POP3 state. Only the UIDL list is persisted.
struct MailboxState {
  int socket = -1;
  int32_t message_count = 0;
  int32_t first_index = 0;
  std::array<UidRecord, kMaxUids> uid_records{};
  std::array<int32_t, kMaxUids> is_new{};
  int32_t uid_count = 0;
  int32_t too_many_reported = 0;

  void Clear() { *this = MailboxState{}; }
};

using MailboxStates = std::array<MailboxState, kAccountCount>;

}  // namespace quillet
