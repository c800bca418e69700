#include "transport/smtp_client.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/protocol_fixture.h"
#include "transport/digests.h"

namespace quillet {
namespace {

using Server = testing::ScriptedServer;

TEST(SmtpReplies, MultiLineTest) {
  struct Case {
    const char* reply;
    bool complete;
  } cases[] = {
      {"250 OK\r\n", true}, {"250-first\r\n", false}, {"250-a\r\n250 b\r\n", true}, {"", false},
      {"250\r\n", false},   {"25x ok\r\n", false},    {"junk\r\n354 go\r\n", true}};
  for (const Case& c : cases) EXPECT_EQ(IsSmtpReplyComplete(c.reply), c.complete) << c.reply;
}

TEST(SmtpReplies, AddressesSplitAtRunsOfBlanksTenAtMost) {
  std::string twelve;
  for (int i = 1; i <= 12; ++i) twelve += "a" + std::to_string(i) + "@x  ";
  std::vector<std::string> out = ForwardAddresses(twelve);
  ASSERT_EQ(out.size(), 10u);
  EXPECT_EQ(out.front(), "a1@x");
  EXPECT_EQ(out.back(), "a10@x");
  EXPECT_TRUE(ForwardAddresses("   ").empty());
}

class SmtpClientTest : public testing::ProtocolTest {
 protected:
  static Server::Script Greeting() { return {Server::S("220 relay ready\r\n")}; }
  static Server::Script Ehlo(const std::string& capabilities) {
    return {Server::C("EHLO " + testing::Host() + "\r\n"), Server::S(capabilities)};
  }
};

TEST_F(SmtpClientTest, HeloAndATransactionWithTheBodyAsIs) {
  SetText(account().forward_to, "a@x  b@y");
  std::string text =
      "Subject: hi\r\nTo: a@x\r\n\r\nline one\r\n.\r\n.starts with a dot\r\nlast\r\ntrailing bytes";
  server.AddSession(Then(
      Greeting(),
      {Server::C("HELO " + testing::Host() + "\r\n"), Server::S("250 hello\r\n"),
       Server::C("RSET\r\n"), Server::S("250 ok\r\n"), Server::C("MAIL FROM: <me@example.org>\r\n"),
       Server::S("250 ok\r\n"), Server::C("RCPT TO: <a@x>\r\n"), Server::S("250 ok\r\n"),
       Server::C("RCPT TO: <b@y>\r\n"), Server::S("250-ok\r\n250 really\r\n", {7}),
       Server::C("DATA\r\n"), Server::S("354 go ahead\r\n"), Server::Data(),
       Server::S("250 queued\r\n"), Server::C("QUIT\r\n"), Server::S("221 bye\r\n")}));
  engine->settings.global.debug_logging = 1;
  ASSERT_EQ(smtp().OpenSendSession(0), 1);
  ASSERT_EQ(smtp().SmtpGreeting(0), 1);
  ASSERT_EQ(smtp().SmtpTransaction(0, text), 1);
  pop3().CloseSession(0, true);
  EXPECT_EQ(server.DataOf(0),
            "Subject: hi\r\nTo: a@x\r\n\r\nline one\r\n. \r\n.starts with a dot\r\nlast\r\n.\r\n");
  std::string log = SessionLog();
  EXPECT_NE(log.find("[->]Subject: hi\r\n"), std::string::npos);  // headers traced
  EXPECT_EQ(log.find("line one"), std::string::npos);             // body not traced
  EXPECT_EQ(ui.StatusTexts().back(), "Closing.....");
}

TEST_F(SmtpClientTest, EhloChoosesByTheSearchOrderAndMasksTheSecret) {
  engine->settings.global.debug_logging = 1;
  account().smtp_auth = 1;
  SetText(account().smtp_auth_user, "tim");
  SetText(account().smtp_auth_password, "tanstaaftanstaaf");
  std::string caps = "250-relay\r\n250-AUTH CRAM-MD5 LOGIN PLAIN\r\n250 8BITMIME\r\n";
  server.AddSession(
      Then(Then(Greeting(), Ehlo(caps)),
           {Server::C("AUTH LOGIN\r\n"), Server::S("334 VXNlcm5hbWU6\r\n"),
            Server::C(Base64EncodeText("tim") + "\r\n"), Server::S("334 UGFzc3dvcmQ6\r\n"),
            Server::C(Base64EncodeText("tanstaaftanstaaf") + "\r\n"), Server::S("235 ok\r\n")}));
  server.AddSession(Then(
      Then(Greeting(), Ehlo("250-relay\r\n250 AUTH PLAIN\r\n")),
      {Server::C("AUTH PLAIN dGltAHRpbQB0YW5zdGFhZnRhbnN0YWFm\r\n"), Server::S("235 ok\r\n")}));
  server.AddSession(
      Then(Then(Greeting(), Ehlo("250-relay\r\n250 AUTH CRAM-MD5\r\n")),
           {Server::C("AUTH CRAM-MD5\r\n"),
            Server::S("334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n"),
            Server::C("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n"),
            Server::S("235 ok\r\n")}));
  server.AddSession(Then(Then(Greeting(), Ehlo("250 SIZE 1000\r\n")), {}));
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(smtp().OpenSendSession(0), 1);
    EXPECT_EQ(smtp().SmtpGreeting(0), 1) << i;
    pop3().CloseSession(0, false);
  }
  ASSERT_EQ(smtp().OpenSendSession(0), 1);
  EXPECT_EQ(smtp().SmtpGreeting(0), -1);
  pop3().CloseSession(0, false);
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{
                "The SMTP server cannot accept <LOGIN/PLAIN/CRAM-MD5> authentication type .",
                "250 SIZE 1000  "}));
  std::string log = SessionLog();
  for (const std::string& secret :
       {std::string("tanstaaftanstaaf"), Base64EncodeText("tanstaaftanstaaf"),
        std::string("dGltAHRpbQB0YW5zdGFhZnRhbnN0YWFm"),
        std::string("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw")})
    EXPECT_EQ(log.find(secret), std::string::npos) << secret;
  EXPECT_NE(log.find("[->]AUTH PLAIN *****\r\n"), std::string::npos);
}

TEST_F(SmtpClientTest, RefusalsAreRecordedWithTheReply) {
  SetText(account().forward_to, "a@x");
  server.AddSession({Server::S("554 no service\r\n")});
  server.AddSession(
      Then(Greeting(),
           {Server::C("HELO " + testing::Host() + "\r\n"), Server::S("250 hi\r\n"),
            Server::C("RSET\r\n"), Server::S("250 ok\r\n"),
            Server::C("MAIL FROM: <me@example.org>\r\n"), Server::S("550 who are you\r\n")}));
  server.AddSession(Then(
      Greeting(), {Server::C("HELO " + testing::Host() + "\r\n"), Server::S("250 hi\r\n"),
                   Server::C("RSET\r\n"), Server::S("250 ok\r\n"),
                   Server::C("MAIL FROM: <me@example.org>\r\n"), Server::S("250 ok\r\n"),
                   Server::C("RCPT TO: <a@x>\r\n"), Server::S("250 ok\r\n"), Server::C("DATA\r\n"),
                   Server::S("354 go\r\n"), Server::Data(), Server::S("552 too big\r\n")}));
  EXPECT_EQ(smtp().OpenSendSession(0), -1);
  pop3().CloseSession(0, false);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(smtp().OpenSendSession(0), 1);
    ASSERT_EQ(smtp().SmtpGreeting(0), 1);
    EXPECT_EQ(smtp().SmtpTransaction(0, "Subject: x\r\n\r\nbody\r\n"), -1);
    pop3().CloseSession(0, false);
  }
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"554 no service  ", "Error: Mailbox address is invalid.",
                                      "550 who are you  ", "552 too big  "}));
}

TEST_F(SmtpClientTest, ALargeBodyIsSentWhole) {
  std::string body;
  for (int i = 0; i < 20000; ++i) body += "line " + std::to_string(i) + " of a long body\r\n";
  std::string text = "Subject: big\r\n\r\n" + body;
  server.AddSession(Then(
      Greeting(),
      {Server::C("HELO " + testing::Host() + "\r\n"), Server::S("250 hi\r\n"),
       Server::C("RSET\r\n"), Server::S("250 ok\r\n"), Server::C("MAIL FROM: <me@example.org>\r\n"),
       Server::S("250 ok\r\n"), Server::C("RCPT TO: <phone@example.net>\r\n"),
       Server::S("250 ok\r\n"), Server::C("DATA\r\n"), Server::S("354 go\r\n"), Server::Data(),
       Server::S("250 ok\r\n")}));
  ASSERT_EQ(smtp().OpenSendSession(0), 1);
  ASSERT_EQ(smtp().SmtpGreeting(0), 1);
  EXPECT_EQ(smtp().SmtpTransaction(0, text), 1);
  pop3().CloseSession(0, false);
  EXPECT_EQ(server.DataOf(0), text + ".\r\n");
}

TEST(ErrorTexts, KnownAndUnknownCodes) {
  EXPECT_EQ(ErrorText(10061), "Communication error.: Connection refused.");
  EXPECT_EQ(ErrorText(11001), "Communication error.: Host not found.");
  EXPECT_EQ(ErrorText(10009), "Communication error. code=10009");
  EXPECT_EQ(WsaCodeFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WsaCodeFromErrno(EWOULDBLOCK), 10035);
  EXPECT_EQ(WsaCodeFromErrno(ETIMEDOUT), 10060);
}

}  // namespace
}  // namespace quillet
