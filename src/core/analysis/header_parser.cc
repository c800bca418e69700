#include "analysis/header_parser.h"

#include <cstring>

#include "analysis/string_tests.h"

namespace quillet {
namespace {

struct HeaderName {
  const char* name;
  char* MessageFields::*field;
};

const HeaderName kHeaderNames[] = {
    {"date:", &MessageFields::date},
    {"subject:", &MessageFields::subject},
    {"from:", &MessageFields::from},
    {"cc:", &MessageFields::cc},
    {"reply-to:", &MessageFields::replyTo},
    {"to:", &MessageFields::to},
    {"mime-version:", &MessageFields::mimeVersion},
    {"content-type:", &MessageFields::contentType},
    {"content-disposition:", &MessageFields::contentDisposition},
    {"content-transfer-encoding:", &MessageFields::contentTransferEncoding},
    {"message-id:", &MessageFields::messageId},
    {"in-reply-to:", &MessageFields::inReplyTo},
    {"references:", &MessageFields::references},
    {"x-msmail-priority:", &MessageFields::xMsmailPriority},
    {"priority:", &MessageFields::priority},
    {"x-priority:", &MessageFields::xPriority},
    {"x-mailer:", &MessageFields::xMailer},
};

}  // namespace

void ParseMessageHeaders(MessageRecord& record) {
  char* text = record.text;
  if (text == nullptr) return;
  record.body = nullptr;
  if (char* split = std::strstr(text, "\r\n\r\n")) {
    *split = '\0';
    record.body = split + 4;
  }
  if (record.body != nullptr) {
    if (EndsWith(record.body, ".\r\n") != nullptr) record.body[std::strlen(record.body) - 3] = '\0';
    size_t header = static_cast<size_t>(record.body - text);
    record.capacity =
        record.capacity > header ? static_cast<uint32_t>(record.capacity - header) : 0;
  }

  char* starts[kMaxHeaderLines];
  int count = 0;
  bool quoted = false;
  bool tracking = true;
  for (char* c = text; *c != '\0'; ++c) {
    if (tracking && *c == '"') quoted = !quoted;
    if (quoted || *c != ':') continue;
    char* added = nullptr;
    for (char* b = c - 1;; --b) {
      if (b < text) {
        if (count == 0) added = starts[count++] = text;
        break;
      }
      if (*b == ' ' || *b == ':') break;  // not the end of a field name
      if (*b == '\n') {
        if (b > text && b[-1] == '\r')
          b[-1] = '\0';
        else
          *b = '\0';
        if (count < kMaxHeaderLines) added = starts[count++] = b + 1;
        break;
      }
      if (*b == '\r') {
        *b = '\0';
        if (count < kMaxHeaderLines) added = starts[count++] = b + 1;
        break;
      }
    }
    // Quotes in a subject never hide later header lines.
    if (added != nullptr) tracking = StartsWithNoCase(added, "subject:") == nullptr;
  }

  for (const HeaderName& h : kHeaderNames) record.*h.field = nullptr;
  for (int i = 0; i < count; ++i)
    for (const HeaderName& h : kHeaderNames)
      if (StartsWithNoCase(starts[i], h.name) != nullptr) record.*h.field = starts[i];
}

}  // namespace quillet
