#pragma once

#include "engine/comm_thread.h"
#include "engine/mail_session.h"
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

// The real protocols of one worker: its own connections, buffers and processing.
class MailServices final : public WorkerServices {
 public:
  explicit MailServices(Engine& engine) : session_(engine), processing_(engine, session_) {}
  MailProtocols* protocols() override { return &session_; }
  MessageProcessor* processor() override { return &processing_; }
  static std::unique_ptr<WorkerServices> Make(Engine& engine) {
    return std::make_unique<MailServices>(engine);
  }

 private:
  MailSession session_;
  MessageProcessing processing_;
};

}  // namespace quillet
