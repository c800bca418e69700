#pragma once

#include "engine/protocols.h"

namespace quillet {

class Engine;
class MailSession;

// Sends the piece files of the current message over the open SMTP connection,
// one transaction each, and deletes each file after its transaction.
// 1 when every piece was sent (or there was none), 0 when one failed.
int SendPieces(Engine& engine, MailSession& session, int k);

// Per-message processing: analyse, compose, deliver, record.
class MessageProcessing final : public MessageProcessor {
 public:
  MessageProcessing(Engine& engine, MailSession& session) : engine_(engine), session_(session) {}
  // 1 when the message is finished with (forwarded or held back), 0 when
  // delivery failed and the message must be tried again.
  int ProcessMessage(int k) override;

 private:
  Engine& engine_;
  MailSession& session_;
};

}  // namespace quillet
