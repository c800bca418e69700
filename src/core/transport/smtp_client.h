#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "transport/socket_channel.h"

namespace quillet {

class Engine;

inline constexpr int kMaxRecipients = 10;

// True when one line of the reply starts with three digits and a blank.
bool IsSmtpReplyComplete(std::string_view reply);
// The forwarding addresses: split at runs of blanks, at most ten.
std::vector<std::string> ForwardAddresses(std::string_view forward_to);

// Delivers forwarded mail to an account's relay.
class SmtpClient {
 public:
  SmtpClient(Engine& engine, SocketChannel& channel) : engine_(engine), channel_(channel) {}

  int OpenSendSession(int k);
  int SmtpGreeting(int k);
  int SmtpTransaction(int k, std::string_view text);
  // The relay test at start-up: RSET and its whole reply, not judged.
  int SmtpReset(int k);

 private:
  int Send(int k, const std::string& command, int tag = kTagSmtp, std::string_view masked = {});
  // Reads a whole reply; only the last segment stays, unless `keep_all`.
  int ReadReply(int k, bool keep_all = false);
  bool Positive() const;
  void Error(std::string_view text, int k);
  int AuthFailure(int k, const char* text);
  std::string Name(int k) const;

  Engine& engine_;
  SocketChannel& channel_;
};

}  // namespace quillet
