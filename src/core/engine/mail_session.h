#pragma once

#include "engine/pop3_client.h"
#include "engine/protocols.h"
#include "transport/smtp_client.h"
#include "transport/socket_channel.h"

namespace quillet {

class Engine;

// The real mail protocols behind the forwarding pass.
class MailSession final : public MailProtocols {
 public:
  explicit MailSession(Engine& engine)
      : channel_(engine), pop3_(engine, channel_), smtp_(engine, channel_) {}

  int OpenRcvSession(int k) override { return pop3_.OpenRcvSession(k); }
  void CloseSession(int k, bool polite) override { pop3_.CloseSession(k, polite); }
  int SnapshotUids(int k) override { return pop3_.SnapshotUids(k); }
  int RetrieveNewMessages(int k) override { return pop3_.RetrieveNewMessages(k); }
  int DeleteForwarded(int k) override { return pop3_.DeleteForwarded(k); }
  int DeleteAll(int k) override { return pop3_.DeleteAll(k); }
  int OpenSendSession(int k) override { return smtp_.OpenSendSession(k); }
  int SmtpGreeting(int k) override { return smtp_.SmtpGreeting(k); }
  int SmtpReset(int k) override { return smtp_.SmtpReset(k); }

  SocketChannel& channel() { return channel_; }
  Pop3Client& pop3() { return pop3_; }
  SmtpClient& smtp() { return smtp_; }

 private:
  SocketChannel channel_;
  Pop3Client pop3_;
  SmtpClient smtp_;
};

}  // namespace quillet
