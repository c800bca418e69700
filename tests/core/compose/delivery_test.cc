#include "compose/delivery.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/protocol_fixture.h"
#include "support/test_helpers.h"

namespace quillet {
namespace {

using Server = testing::ScriptedServer;

std::string Helo() {
  return "HELO " + testing::Host() + "\r\n";
}

// One SMTP transaction that the relay accepts.
Server::Script Transaction() {
  return {Server::C("RSET\r\n"),
          Server::S("250 ok\r\n"),
          Server::C("MAIL FROM: <me@example.org>\r\n"),
          Server::S("250 ok\r\n"),
          Server::C("RCPT TO: <phone@example.net>\r\n"),
          Server::S("250 ok\r\n"),
          Server::C("DATA\r\n"),
          Server::S("354 go\r\n"),
          Server::Data(),
          Server::S("250 queued\r\n")};
}

class DeliveryTest : public testing::ProtocolTest {
 protected:
  void SetUp() override {
    ProtocolTest::SetUp();
    processing = std::make_unique<MessageProcessing>(*engine, *session);
    engine->SetProcessor(processing.get());
    account().add_resent_headers = 0;
  }
  // Loads `message` as the pass would and processes it.
  int Process(const std::string& message) {
    std::string path = engine->TempMessagePath(1);
    WriteFile(path, message);
    engine->message.Clear();
    EXPECT_EQ(engine->LoadMessageFile(path), 1);
    int result = processing->ProcessMessage(0);
    engine->FreeMessageFile();
    return result;
  }
  std::unique_ptr<MessageProcessing> processing;
};

TEST_F(DeliveryTest, FilteredMailLeavesOneHistoryLineAndNoConnection) {
  account().filter_subject = 1;
  SetText(account().filter_subject_words, "spam");
  EXPECT_EQ(Process("Subject: cheap SPAM\r\n\r\nbuy\r\n"), 1);
  EXPECT_EQ(server.accepted(), 0);
  ASSERT_EQ(ui.rows.size(), 1u);
  EXPECT_EQ(ui.rows[0].icon, 12);
  EXPECT_EQ(engine->forwarded_count, 0);
}

TEST_F(DeliveryTest, ThreePiecesOverOneConnectionInReverseOrderWithPauses) {
  Account& a = account();
  a.mobile_enabled = 1;
  a.divide_enabled = 1;
  a.divide_bytes = 100;
  a.divide_max_pieces = 3;
  a.pieces_reverse_order = 1;
  a.piece_delay_enabled = 1;
  a.piece_delay_seconds = 2;
  Server::Script script = {Server::S("220 relay\r\n"), Server::C(Helo()), Server::S("250 hi\r\n")};
  for (int i = 0; i < 3; ++i) script = Then(script, Transaction());
  server.AddSession(Then(script, {Server::C("QUIT\r\n"), Server::S("221 bye\r\n")}));
  std::string body;
  for (int i = 0; i < 6; ++i) body += "This line is forty bytes long, or so..\r\n";
  uint32_t before = clock.TickCount();
  EXPECT_EQ(Process("Subject: Big\r\n\r\n" + body), 1);
  std::string sent = server.Received(0);
  size_t third = sent.find("Subject: 3)Big"), second = sent.find("Subject: 2)Big"),
         first = sent.find("Subject: 1)Big");
  ASSERT_NE(first, std::string::npos);
  EXPECT_LT(third, second);
  EXPECT_LT(second, first);
  std::vector<std::string> pauses;
  for (const std::string& s : ui.StatusTexts())
    if (s.find("Pausing") != std::string::npos) pauses.push_back(s);
  EXPECT_EQ(pauses.size(), 6u);
  EXPECT_EQ(pauses[1], "[acct] Pausing... (2/2sec) ");
  EXPECT_GE(clock.TickCount() - before, 6000u);
  EXPECT_EQ(engine->forwarded_count, 1);  // one message, not one per piece
  for (int i = 0; i < 3; ++i)
    EXPECT_FALSE(Exists(dirs().temporary + "$qltdiv" + std::to_string(i) + ".eml"));
}

TEST_F(DeliveryTest, RelayFailuresFailTheMessage) {
  // Refused connection.
  account().smtp_port = static_cast<int16_t>(testing::UnusedPort());  // nothing listens there
  EXPECT_EQ(Process("Subject: s\r\n\r\nx\r\n"), 0);
  EXPECT_EQ(ui.StatusTexts().back(), "ERROR: OpenSendSession.");
  EXPECT_EQ(ui.RowTexts().back(), "Can't connect to the SMTP server");
  EXPECT_EQ(mailbox().socket, -1);
  // A greeting that fails: the connection is closed, the message fails.
  account().smtp_port = static_cast<int16_t>(server.port());
  server.AddSession({Server::S("220 relay\r\n"), Server::C(Helo()), Server::Drop()});
  EXPECT_EQ(Process("Subject: s\r\n\r\nx\r\n"), 0);
  EXPECT_EQ(ui.StatusTexts().back(), "ERROR: Smtp: HELP/EHLO");
  EXPECT_EQ(mailbox().socket, -1);
  ASSERT_TRUE(server.WaitDone());
  // Refused at DATA: the piece stays, nothing is recorded as forwarded.
  account().smtp_port = static_cast<int16_t>(server.port());
  Server::Script script = {Server::S("220 relay\r\n"), Server::C(Helo()), Server::S("250 hi\r\n")};
  Server::Script refused = Transaction();
  refused.back() = Server::S("554 rejected\r\n");
  server.AddSession(Then(script, refused));
  EXPECT_EQ(Process("Subject: s\r\n\r\nx\r\n"), 0);
  EXPECT_EQ(ui.StatusTexts().back(), "ERROR: Smtp: Send DATA");
  EXPECT_EQ(ui.RowTexts().back(), "554 rejected  ");
  EXPECT_EQ(engine->forwarded_count, 0);
  EXPECT_EQ(server.Received(1).find("QUIT"), std::string::npos);
}

TEST_F(DeliveryTest, ThirdOfFiveFailingAtDataIsRetriedWithTheRest) {
  account().delete_after_forward = 1;
  Server::Script pop = Then(
      Login(5),
      {Server::C("UIDL\r\n"), Server::S("+OK\r\n1 u1\r\n2 u2\r\n3 u3\r\n4 u4\r\n5 u5\r\n.\r\n")});
  for (int n = 1; n <= 5; ++n)
    pop = Then(pop, {Server::C("LIST " + std::to_string(n) + "\r\n"), Server::S("+OK\r\n"),
                     Server::C("RETR " + std::to_string(n) + "\r\n"),
                     Server::S("+OK\r\nSubject: m" + std::to_string(n) + "\r\n\r\nbody\r\n.\r\n")});
  server.AddSession(Then(pop, {Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  Server::Script relay = {Server::S("220 relay\r\n"), Server::C(Helo()), Server::S("250 hi\r\n")};
  for (int n = 1; n <= 2; ++n)
    server.AddSession(
        Then(Then(relay, Transaction()), {Server::C("QUIT\r\n"), Server::S("221 bye\r\n")}));
  Server::Script refused = Transaction();
  refused.back() = Server::S("451 try later\r\n");
  server.AddSession(Then(relay, refused));

  engine->RunAccountPass(0);
  EXPECT_EQ(engine->forwarded_count, 2);
  EXPECT_STREQ(mailbox().uid_records[0].text, "u1");
  EXPECT_STREQ(mailbox().uid_records[1].text, "u2");
  for (int i = 2; i < 5; ++i) EXPECT_STREQ(mailbox().uid_records[i].text, "") << i;
  ASSERT_TRUE(server.WaitDone());

  // The next pass takes the third, fourth and fifth, then deletes what it forwarded.
  Server::Script again = Then(
      Login(5),
      {Server::C("UIDL\r\n"), Server::S("+OK\r\n1 u1\r\n2 u2\r\n3 u3\r\n4 u4\r\n5 u5\r\n.\r\n")});
  for (int n = 3; n <= 5; ++n)
    again =
        Then(again, {Server::C("LIST " + std::to_string(n) + "\r\n"), Server::S("+OK\r\n"),
                     Server::C("RETR " + std::to_string(n) + "\r\n"),
                     Server::S("+OK\r\nSubject: m" + std::to_string(n) + "\r\n\r\nbody\r\n.\r\n")});
  server.AddSession(Then(again, {Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  for (int n = 3; n <= 5; ++n)
    server.AddSession(
        Then(Then(relay, Transaction()), {Server::C("QUIT\r\n"), Server::S("221 bye\r\n")}));
  server.AddSession(
      Then(Login(5), {Server::C("DELE 3\r\n"), Server::S("+OK\r\n"), Server::C("DELE 4\r\n"),
                      Server::S("+OK\r\n"), Server::C("DELE 5\r\n"), Server::S("+OK\r\n"),
                      Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  engine->RunAccountPass(0);
  EXPECT_EQ(engine->forwarded_count, 5);
  EXPECT_EQ(mailbox().message_count, 2);
}

}  // namespace
}  // namespace quillet
