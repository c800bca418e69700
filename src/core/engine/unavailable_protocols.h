#pragma once

#include "engine/engine.h"
#include "engine/protocols.h"

namespace quillet {

// Stands in for the mail protocols while this build has none: every session
// fails with an error entry that says so, and nothing is marked as handled.
class UnavailableProtocols final : public MailProtocols, public MessageProcessor {
 public:
  explicit UnavailableProtocols(Engine& engine) : engine_(engine) {}
  int OpenRcvSession(int account) override;
  void CloseSession(int, bool) override {}
  int SnapshotUids(int) override { return -1; }
  int RetrieveNewMessages(int) override { return -1; }
  int DeleteForwarded(int) override { return 0; }
  int DeleteAll(int) override { return 0; }
  int OpenSendSession(int account) override;
  int SmtpGreeting(int) override { return -1; }
  int SmtpReset(int) override { return -1; }
  int ProcessMessage(int) override { return 0; }

 private:
  Engine& engine_;
};

}  // namespace quillet
