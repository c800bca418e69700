#include "analysis/message_record.h"

namespace quillet {

void MessageRecord::Clear() {
  static_cast<MessageFields&>(*this) = MessageFields{};
  for (auto& slot : *boundaries) slot.fill('\0');
  buffer.reset();
  bufferSize = 0;
}

}  // namespace quillet
