#pragma once

#include <string>

#include "engine/mailbox_state.h"

namespace quillet {

inline constexpr size_t kUidlAccountBlock = 4 + kMaxUids * kUidRecordSize;            // 294916
inline constexpr size_t kUidlStoreFileSize = kUidlAccountBlock * kAccountCount + 16;  // 2949176

// Fills the UIDL lists from the store; a missing store leaves them as they are,
// a count out of range empties that account, a wrong magic empties all.
void LoadUidlStore(const std::string& path, const char (&settings_magic)[16],
                   MailboxStates& states);
// Writes every list whole; false when the file could not be written.
bool SaveUidlStore(const std::string& path, const MailboxStates& states);

}  // namespace quillet
