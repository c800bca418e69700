#pragma once

namespace quillet {

// The mail protocol operations the forwarding pass needs, per account index.
// Results follow the engine's convention: a count or 1 on success, -1 on failure,
// 0 for "no session could be opened" where stated.
class MailProtocols {
 public:
  virtual ~MailProtocols() = default;
  // POP3: logs in and returns the message count (STAT), or a negative value.
  virtual int OpenRcvSession(int account) = 0;
  // Ends the open POP3 or SMTP session, with QUIT when polite.
  virtual void CloseSession(int account, bool polite) = 0;
  // Stores the IDs of the mail present now as handled; 1 or negative.
  virtual int SnapshotUids(int account) = 0;
  // Lists, marks new mail and writes each to its temporary file; 1 or negative.
  virtual int RetrieveNewMessages(int account) = 0;
  virtual int DeleteForwarded(int account) = 0;
  virtual int DeleteAll(int account) = 0;
  // SMTP: connects to the relay; 1 or -1.
  virtual int OpenSendSession(int account) = 0;
  // HELO or EHLO with authentication; -1 ends the session.
  virtual int SmtpGreeting(int account) = 0;
  // Sends RSET and reads the whole reply; -1 on failure.
  virtual int SmtpReset(int account) = 0;
};

// Handles one loaded message: analyse, compose, deliver, record.
class MessageProcessor {
 public:
  virtual ~MessageProcessor() = default;
  // 1 to go on with the next message, 0 to end the account pass.
  virtual int ProcessMessage(int account) = 0;
};

}  // namespace quillet
