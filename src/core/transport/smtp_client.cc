#include "transport/smtp_client.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "compose/dates.h"
#include "engine/engine.h"
#include "platform/cancellation.h"
#include "transport/digests.h"

namespace quillet {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool IsSmtpReplyComplete(std::string_view reply) {
  size_t i = 0;
  while (i < reply.size()) {
    size_t end = reply.find_first_of("\r\n", i);
    if (end == std::string_view::npos) end = reply.size();
    std::string_view line = reply.substr(i, end - i);
    if (line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
        std::isdigit(static_cast<unsigned char>(line[1])) &&
        std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == ' ')
      return true;
    i = end + 1;
  }
  return false;
}

std::vector<std::string> ForwardAddresses(std::string_view forward_to) {
  return SplitAtBlanks(forward_to, kMaxRecipients);
}

std::string SmtpClient::Name(int k) const {
  return std::string(GetText(engine_.settings.accounts[k].account_name));
}

void SmtpClient::Error(std::string_view text, int k) {
  engine_.RecordInfo(text, kKindError, k);
}

int SmtpClient::Send(int k, const std::string& command, int tag, std::string_view masked) {
  if (RunCancelled()) return -1;
  engine_.command = command;
  return channel_.SendText(engine_.mailbox(k).socket, engine_.command, tag, masked);
}

bool SmtpClient::Positive() const {
  return StartsWith(engine_.reply, "250") || StartsWith(engine_.reply, "220");
}

int SmtpClient::ReadReply(int k, bool keep_all) {
  int fd = engine_.mailbox(k).socket;
  engine_.reply.clear();
  int n = channel_.ReceiveReply(fd, kTagSmtp);
  if (n < 0) return -1;
  std::string whole = engine_.reply;
  while (!IsSmtpReplyComplete(engine_.reply)) {
    n = channel_.ReceiveReply(fd, kTagSmtp);
    if (n < 0) return -1;
    if (keep_all) {
      size_t room = kReplyBufferSize - whole.size();
      whole.append(engine_.reply, 0, engine_.reply.size() < room ? engine_.reply.size() : room);
    }
  }
  // The capability list of EHLO is judged as a whole.
  if (keep_all) engine_.reply = whole;
  return n;
}

int SmtpClient::OpenSendSession(int k) {
  Account& a = engine_.settings.accounts[k];
  MailboxState& st = engine_.mailbox(k);
  channel_.Trace("---- Quillet V3.47.1 starts SMTP session : " +
                 FormatDateStamp(engine_.clock().LocalTime()) + " ----\r\n");
  engine_.Status("[" + Name(k) + "] Connecting...", kStatusConnecting);
  channel_.Trace("SMTP: gethostbyname..\r\n");
  uint32_t address = 0;
  if (!ResolveIpv4(a.smtp_server, address)) {
    engine_.Status("Error:OpenSendSession:gethostbyname:", kStatusError);
    channel_.Trace("Error:OpenSendSession:gethostbyname:\n");
    Error(ErrorText(11001), k);
    return -1;
  }
  channel_.Trace("SMTP: opening socket..\r\n");
  st.socket = channel_.OpenSocket();
  if (st.socket < 0) {
    engine_.Status("Error:OpenSendSession:socket:", kStatusError);
    channel_.Trace("Error:OpenSendSession:socket:\n");
    return -1;
  }
  channel_.Trace("SMTP: setting timeout..\r\n");
  channel_.Trace("SMTP: getservbyname..\r\n");
  uint16_t port = htons(static_cast<uint16_t>(a.smtp_port));
  servent entry{};
  servent* service = nullptr;
  char buffer[1024];
  if (a.smtp_port_manual != 0 ||
      getservbyname_r("mail", nullptr, &entry, buffer, sizeof buffer, &service) != 0 ||
      service == nullptr) {
    channel_.Trace("SMTP: Use specified smtp port");
  } else {
    port = static_cast<uint16_t>(service->s_port);
  }
  channel_.Trace("SMTP: connecting session..");
  if (channel_.Connect(st.socket, address, port, a.nonblocking != 0,
                       "Error:OpenSendSession:connect") < 0) {
    if (a.nonblocking != 0)
      channel_.CloseSocket(st.socket);  // a blocking connect closed it already
    st.socket = -1;
    return -1;
  }
  channel_.Trace("\r\n");
  channel_.Trace("SMTP: receiving response of connect..\r\n");
  if (ReadReply(k) < 0) return -1;
  if (Positive()) return 1;
  Error(engine_.reply, k);
  channel_.Trace("Error:OpenSendSession:isSMTPReplyOK:\n" + engine_.reply + "\n");
  return -1;
}

int SmtpClient::AuthFailure(int k, const char* text) {
  Error(text, k);
  Error(engine_.reply, k);
  return -1;
}

int SmtpClient::SmtpGreeting(int k) {
  Account& a = engine_.settings.accounts[k];
  char host[512] = {};
  if (gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "localhost");
  bool auth = a.smtp_auth != 0;
  if (Send(k, std::string(auth ? "EHLO " : "HELO ") + host + "\r\n") < 0) return -1;
  if (ReadReply(k, auth) < 0) return -1;
  if (!Positive()) {
    Error("No responce from SMTP server", k);
    Error(engine_.reply, k);
    return 0;
  }
  if (!auth) return 1;
  std::string user(GetText(a.smtp_auth_user));
  std::string password(GetText(a.smtp_auth_password));
  const std::string& capabilities = engine_.reply;
  if (capabilities.find("LOGIN") != std::string::npos) {
    if (Send(k, "AUTH LOGIN\r\n") < 0 || ReadReply(k) < 0) return -1;
    if (!StartsWith(engine_.reply, "334"))
      return AuthFailure(k, "SMTP authentication error. (Type=LOGIN)");
    if (Send(k, Base64EncodeText(user.c_str()) + "\r\n") < 0 || ReadReply(k) < 0) return -1;
    if (!StartsWith(engine_.reply, "334"))
      return AuthFailure(k, "SMTP authentication error. Confirm user ID or password.");
    if (Send(k, Base64EncodeText(password.c_str()) + "\r\n", kTagSmtpSecret, "*****\r\n") < 0 ||
        ReadReply(k) < 0)
      return -1;
    if (StartsWith(engine_.reply, "334") || StartsWith(engine_.reply, "235")) return 1;
    return AuthFailure(k, "SMTP authentication error. Confirm user ID or password.");
  }
  if (capabilities.find("PLAIN") != std::string::npos) {
    std::string plain = user + '\0' + user + '\0' + password;
    if (Send(k, "AUTH PLAIN " + Base64EncodeBytes(plain.data(), plain.size()) + "\r\n",
             kTagSmtpSecret, "AUTH PLAIN *****\r\n") < 0 ||
        ReadReply(k) < 0)
      return -1;
    if (StartsWith(engine_.reply, "235")) return 1;
    return AuthFailure(k, "SMTP authentication error. (Type=PLAIN)");
  }
  if (capabilities.find("CRAM-MD5") != std::string::npos) {
    if (Send(k, "AUTH CRAM-MD5\r\n") < 0 || ReadReply(k) < 0) return -1;
    if (!StartsWith(engine_.reply, "334"))
      return AuthFailure(k, "SMTP authentication error. (Type=CRAM-MD5)");
    std::string_view challenge =
        std::string_view(engine_.reply).substr(engine_.reply.size() < 4 ? engine_.reply.size() : 4);
    challenge = challenge.substr(0, challenge.find_first_of("\r\n"));
    if (challenge.empty()) return AuthFailure(k, "ESMTP AUTH error: no test string returned.");
    uint8_t decoded[256] = {};
    Base64Decode(challenge, decoded, sizeof decoded - 1);
    size_t length = strnlen(reinterpret_cast<const char*>(decoded), sizeof decoded);
    Md5Digest digest = HmacMd5(decoded, length, password.data(), password.size());
    std::string answer = user + " " + HexDigest(digest);
    if (Send(k, Base64EncodeText(answer.c_str()) + "\r\n", kTagSmtpSecret, "*****\r\n") < 0 ||
        ReadReply(k) < 0)
      return -1;
    if (StartsWith(engine_.reply, "235")) return 1;
    return AuthFailure(k, "SMTP authentication error. Confirm user ID or password.");
  }
  return AuthFailure(k,
                     "The SMTP server cannot accept <LOGIN/PLAIN/CRAM-MD5> authentication type .");
}

int SmtpClient::SmtpReset(int k) {
  if (Send(k, "RSET\r\n") < 0) return -1;
  return ReadReply(k) < 0 ? -1 : 1;
}

int SmtpClient::SmtpTransaction(int k, std::string_view text) {
  Account& a = engine_.settings.accounts[k];
  std::string name = Name(k);
  engine_.Touch();
  engine_.Status("[" + name + "] Sending... # ", kStatusSending);
  if (Send(k, "RSET\r\n") < 0 || ReadReply(k) < 0) return -1;
  if (!Positive()) {
    Error(engine_.reply, k);
    return -1;
  }
  if (Send(k, "MAIL FROM: <" + std::string(GetText(a.mail_address)) + ">\r\n") < 0 ||
      ReadReply(k) < 0)
    return -1;
  if (!Positive()) {
    Error("Error: Mailbox address is invalid.", k);
    Error(engine_.reply, k);
    return -1;
  }
  engine_.Status("[" + name + "] Sending... ## ", kStatusTextOnly);
  for (const std::string& address : ForwardAddresses(GetText(a.forward_to))) {
    if (Send(k, "RCPT TO: <" + address + ">\r\n") < 0 || ReadReply(k) < 0) return -1;
    if (!Positive()) {
      Error(engine_.reply, k);
      return -1;
    }
    engine_.Status("[" + name + "] Sending... ### ", kStatusTextOnly);
  }
  if (Send(k, "DATA\r\n") < 0 || ReadReply(k) < 0) return -1;
  if (!StartsWith(engine_.reply, "354")) {
    Error(engine_.reply, k);
    return -1;
  }
  engine_.Status("[" + name + "] Sending... #### ", kStatusTextOnly);
  int fd = engine_.mailbox(k).socket;
  bool header = true;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    std::string_view line = text.substr(start, i + 1 - start);
    start = i + 1;
    if (header) {
      if (channel_.SendText(fd, line, kTagSmtp) < 0) return -1;
      if (line == "\r\n") header = false;
      continue;
    }
    // A lone dot would end the data early; it goes out with a blank behind it.
    if (channel_.SendText(fd, line == ".\r\n" ? std::string_view(". \r\n") : line, kTagNone) < 0)
      return -1;
    engine_.Touch();
  }
  if (Send(k, ".\r\n") < 0 || ReadReply(k) < 0) return -1;
  if (!Positive()) {
    Error(engine_.reply, k);
    return -1;
  }
  engine_.Status("[" + name + "] Sending... ##### ", kStatusTextOnly);
  return 1;
}

}  // namespace quillet
