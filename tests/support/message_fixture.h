#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/header_parser.h"
#include "analysis/message_record.h"
#include "engine/engine.h"
#include "store/settings.h"

namespace quillet::testing {

// Loads `text` into the record as the loader does (buffer sized by the same
// rule, zero-filled) and, unless told otherwise, parses the headers.
inline void LoadMessage(MessageRecord& r, std::string_view text, bool parse = true) {
  r.Clear();
  size_t capacity = MessageBufferCapacity(text.size() ? text.size() : 1);
  r.buffer.reset(new char[capacity]());
  r.bufferSize = capacity;
  std::memcpy(r.buffer.get(), text.data(), text.size());
  r.text = r.buffer.get();
  r.fileSize = static_cast<int32_t>(text.size());
  r.capacity = static_cast<uint32_t>(capacity);
  if (parse) ParseMessageHeaders(r);
}

// A default account, as a fresh settings file gives it.
inline std::unique_ptr<Account> DefaultAccount() {
  auto s = std::make_unique<Settings>();
  ApplyDefaults(*s, ScreenSize{});
  ApplyFixUps(*s, ScreenSize{});
  return std::make_unique<Account>(s->accounts[0]);
}

}  // namespace quillet::testing
