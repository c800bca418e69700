#include "engine/pop3_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "support/protocol_fixture.h"
#include "support/test_helpers.h"
#include "transport/digests.h"

namespace quillet {
namespace {

using testing::ProtocolTest;
using Server = testing::ScriptedServer;

TEST(Pop3Parsing, CountReplyTakesTheSecondTokenOfAnUpperCaseOk) {
  struct Case {
    const char* reply;
    int count;
  } cases[] = {{"+OK 3 1200\r\n", 3}, {"+OK  12  99\r\n", 12},    {"+ok 3 1200\r\n", -1},
               {"+OK\r\n", -1},       {"+OK x 5\r\n", 0},         {"-ERR +OK 4\r\n", 0},
               {"+OK 7abc\r\n", 7},   {"+OK 99999999999\r\n", -1}};
  for (const Case& c : cases) EXPECT_EQ(ParseCountReply(c.reply), c.count) << c.reply;
}

TEST(Pop3Parsing, OnlyForwardedMailIsDeletable) {
  for (uint32_t code = 0; code < 20; ++code)
    EXPECT_EQ(IsDeletableResult(code), code == 0 || code == 2 || code == 7) << code;
  EXPECT_FALSE(IsDeletableResult(0x6363));
}

TEST(Pop3Parsing, ApopTimestampRunsFromTheFirstAngleBracketThroughTheNext) {
  struct Case {
    std::string greeting, stamp;
  } cases[] = {
      {"+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n",
       "<1896.697170952@dbc.mtview.ca.us>"},
      {"+OK ready\r\n", ""},
      {"+OK > then <a@b>\r\n", ""},  // a ">" before any "<" ends the scan
      {"+OK <unclosed\r\n", "<unclosed\r\n"},
      {"+OK <" + std::string(1000, 'x') + ">", "<" + std::string(254, 'x')},
  };
  for (const Case& c : cases) EXPECT_EQ(ApopTimestamp(c.greeting), c.stamp);
}

TEST(Pop3Parsing, EndOfMessageWholeSplitAndByteByByte) {
  struct Case {
    std::vector<std::string> blocks;
    bool complete;
    const char* label;
  } cases[] = {
      {{"+OK\r\nbody\r\n.\r\n"}, true, "RNDRN(0)\r\n"},
      {{"+OK\r\nbody\r\n.", "\r\n"}, true, "rndRN(2)\r\n"},
      {{"+OK\r\nbody\r\n", ".\r\n"}, true, "rnDRN(3)\r\n"},
      {{"+OK\r\nbody\r\n.\r", "\n"}, true, "rndrN(1)\r\n"},
      {{"+OK\r\nbody\r\n", ".", "\r\n"}, true, "RNDRN(0)\r\n"},  // split three ways
      {{"+OK\r\nbody\r\n", ".x\r\n"}, false, ""},
      {{"+OK\r\n..\r\nbody"}, false, ""},
  };
  for (const Case& c : cases) {
    EndOfMessage end;
    bool done = false;
    for (const std::string& b : c.blocks) done = end.Feed(b);
    EXPECT_EQ(done, c.complete) << c.blocks[0];
    if (c.complete) {
      EXPECT_STREQ(end.LastLabel(), c.label);
    }
    std::string whole;
    for (const std::string& b : c.blocks) whole += b;
    EndOfMessage bytes;
    bool by_byte = false;
    for (char ch : whole) by_byte = bytes.Feed(std::string_view(&ch, 1));
    EXPECT_EQ(by_byte, c.complete);
  }
}

TEST(Pop3Parsing, ListingLinesAreTheSameWholeOrInPieces) {
  std::string listing = "+OK 3 messages\r\n1 aaa\r\n2 bbb\r\n\r\n3 ccc\r\n.\r\n";
  auto collect = [](const std::vector<std::string>& blocks) {
    ListingReader reader;
    std::vector<std::string> lines;
    bool ended = false;
    for (const std::string& b : blocks)
      if (reader.Feed(b, [&](std::string_view l) { lines.emplace_back(l); })) {
        ended = true;
        break;
      }
    if (!ended) lines.push_back("(no end)");
    return lines;
  };
  std::vector<std::string> whole = collect({listing});
  EXPECT_EQ(whole, (std::vector<std::string>{"1 aaa", "2 bbb", "", "3 ccc"}));
  std::vector<std::string> bytes;
  for (char c : listing) bytes.emplace_back(1, c);
  std::vector<std::string> split = collect(bytes);
  split.erase(std::remove(split.begin(), split.end(), ""), split.end());
  whole.erase(std::remove(whole.begin(), whole.end(), ""), whole.end());
  EXPECT_EQ(split, whole);
  EXPECT_EQ(collect({"+OK\r\n1 a", "bc\r", "\n2 d\r\n.\r\n"}),
            (std::vector<std::string>{"1 abc", "", "2 d"}));
  std::vector<std::string> long_line =
      collect({"+OK\r\n1 " + std::string(10000, 'z') + "\r\n.\r\n"});
  EXPECT_EQ(long_line[0].size(), kUidlLineLimit - 1);
}

class Pop3ClientTest : public ProtocolTest {
 protected:
  static Server::Script Quit() { return {Server::C("QUIT\r\n"), Server::S("+OK bye\r\n")}; }
  static Server::Script Retrieve(int n, const std::string& message, std::vector<size_t> cuts = {}) {
    return {Server::C("LIST " + std::to_string(n) + "\r\n"), Server::S("+OK\r\n"),
            Server::C("RETR " + std::to_string(n) + "\r\n"), Server::S(message, std::move(cuts))};
  }
  bool EntryStartingWith(const std::string& prefix) {
    for (const std::string& e : Entries())
      if (e.rfind(prefix, 0) == 0) return true;
    return false;
  }
};

TEST_F(Pop3ClientTest, LoginWithUserAndPassThenStat) {
  Server::Script script = Then(Login(2), Quit());
  script[0] = Server::S("+OK POP3 ready\r\n", {4});  // the greeting comes in two segments
  server.AddSession(script);
  uint32_t before = clock.TickCount();
  EXPECT_EQ(pop3().OpenRcvSession(0), 2);
  EXPECT_EQ(mailbox().message_count, 2);
  EXPECT_GE(clock.TickCount() - before, 300u);  // the pause before STAT
  pop3().CloseSession(0, true);
  EXPECT_EQ(mailbox().socket, -1);
  EXPECT_EQ(ui.StatusTexts(),
            (std::vector<std::string>{"[acct] Connecting.....", "[acct] Authorizing... # ",
                                      "[acct] Authorizing... ## ", "[acct] Receiving... ### ",
                                      "Closing....."}));
}

TEST_F(Pop3ClientTest, ApopWithAndWithoutATimeStamp) {
  SetText(account().pop3_password, "tanstaaf");
  account().use_apop = 1;
  server.AddSession({Server::S("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n"),
                     Server::C("APOP alice c4c9334bac560ecc979e58001b3e22fb\r\n"),
                     Server::S("+OK\r\n"), Server::C("STAT\r\n"), Server::S("+OK 0 0\r\n")});
  server.AddSession({Server::S("+OK ready\r\n"),
                     Server::C("APOP alice " + ApopDigest("tanstaaf") + "\r\n"),
                     Server::S("-ERR permission denied\r\n")});
  EXPECT_EQ(pop3().OpenRcvSession(0), 0);
  pop3().CloseSession(0, false);
  EXPECT_LT(pop3().OpenRcvSession(0), 0);
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"User name is incorrect.", "-ERR permission denied  "}));
  EXPECT_EQ(mailbox().socket, -1);  // a failed open leaves no socket behind
}

TEST_F(Pop3ClientTest, RefusedLoginsAndALowerCaseStat) {
  server.AddSession({Server::S("+OK\r\n"), Server::C("USER alice\r\n"), Server::S("-ERR who\r\n")});
  server.AddSession({Server::S("+OK\r\n"), Server::C("USER alice\r\n"), Server::S("+OK\r\n"),
                     Server::C("PASS s3cret\r\n"), Server::S("-ERR bad\r\n")});
  Server::Script lower = Login(3);
  lower.back() = Server::S("+ok 3 300\r\n");
  server.AddSession(lower);
  server.AddSession({Server::S("-ERR go away\r\n")});
  for (int i = 0; i < 4; ++i) EXPECT_LT(pop3().OpenRcvSession(0), 0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"User name is incorrect.", "-ERR who  ",
                                                 "User name or password is incorrect", "-ERR bad  ",
                                                 "-ERR go away  "}));
}

TEST_F(Pop3ClientTest, ListingInBlocksGivesTheSameIdsAsInOne) {
  std::string listing = "+OK\r\n0 zero\r\n1 a\r\n2 bb\r\n3 ccc\r\n4097 big\r\n.\r\n";
  std::vector<std::vector<size_t>> splits = {{}, {9, 17, 27}};  // "1 a" and "3 ccc" cut apart
  for (const std::vector<size_t>& cuts : splits) {
    SCOPED_TRACE(cuts.size());
    mailbox().uid_count = 1;
    std::memset(mailbox().uid_records.data(), 0, sizeof(UidRecord) * 4);
    std::strcpy(mailbox().uid_records[0].text, "a");
    server.AddSession(Then(
        Then(Then(Login(3), {Server::C("UIDL\r\n"), Server::S(listing, cuts)}),
             Then(Retrieve(2, "+OK\r\nmsg two\r\n.\r\n"), Retrieve(3, "+OK\r\n..dot\r\n.\r\n"))),
        Quit()));
    ASSERT_EQ(pop3().OpenRcvSession(0), 3);
    ASSERT_EQ(pop3().RetrieveNewMessages(0), 1);
    pop3().CloseSession(0, true);
    EXPECT_EQ(mailbox().is_new[0], 0);
    EXPECT_EQ(mailbox().is_new[1], 1);
    EXPECT_EQ(mailbox().is_new[2], 1);
    EXPECT_EQ(mailbox().uid_count, 3);
    EXPECT_STREQ(mailbox().uid_records[1].text, "bb");
    EXPECT_STREQ(mailbox().uid_records[2].text, "ccc");
    EXPECT_EQ(FileText(engine->TempMessagePath(2)), "+OK\r\nmsg two\r\n.\r\n");
    EXPECT_EQ(FileText(engine->TempMessagePath(3)), "+OK\r\n..dot\r\n.\r\n");  // as received
    EXPECT_FALSE(Exists(engine->TempMessagePath(1)));
  }
}

TEST_F(Pop3ClientTest, TerminatorIsFoundHoweverItIsSplit) {
  engine->settings.global.debug_logging = 1;
  account().no_uidl = 1;
  struct Case {
    std::vector<size_t> cuts;
    const char* label;
  } cases[] = {{{}, "RNDRN(0)"}, {{17}, "rndRN(2)"}, {{16}, "rnDRN(3)"}, {{16, 17}, "RNDRN(0)"}};
  std::string message = "+OK\r\nhello\r\nhi\r\n.\r\n";  // "\r\n.\r\n" starts at 14
  for (const Case& c : cases) {
    server.AddSession(Then(Then(Login(1), Retrieve(1, message, c.cuts)), Quit()));
    mailbox().first_index = 0;
    ASSERT_EQ(pop3().OpenRcvSession(0), 1);
    ASSERT_EQ(pop3().RetrieveNewMessages(0), 1) << c.label;
    pop3().CloseSession(0, true);
    EXPECT_EQ(FileText(engine->TempMessagePath(1)), message);
    std::string log = SessionLog();
    EXPECT_NE(log.find(std::string("POP3: ") + c.label + "\r\n"), std::string::npos) << log;
    std::remove((dirs().current + "/quillet_session.log").c_str());
  }
}

TEST_F(Pop3ClientTest, RefusedUidlSwitchesToPositionsFromZero) {
  server.AddSession(Then(
      Then(Login(2), {Server::C("UIDL\r\n"), Server::S("-ERR no UIDL\r\n")}),
      Then(Then(Retrieve(1, "+OK\r\none\r\n.\r\n"), Retrieve(2, "+OK\r\ntwo\r\n.\r\n")), Quit())));
  ASSERT_EQ(pop3().OpenRcvSession(0), 2);
  EXPECT_EQ(pop3().RetrieveNewMessages(0), 1);
  pop3().CloseSession(0, true);
  EXPECT_EQ(account().no_uidl, 1);
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{
                "POP server cannot accept UIDL command.  The UIDL command will not be used.",
                "-ERR no UIDL  "}));
  EXPECT_EQ(FileText(engine->TempMessagePath(2)), "+OK\r\ntwo\r\n.\r\n");
}

TEST_F(Pop3ClientTest, SnapshotStoresAtMost4096IdsAndReportsOnce) {
  std::string listing = "+OK\r\n1 " + std::string(75, 'L') + "\r\n";
  for (int i = 2; i <= 4098; ++i) listing += std::to_string(i) + " id" + std::to_string(i) + "\r\n";
  listing += ".\r\n";
  server.AddSession(Then(Then(Login(4098), {Server::C("UIDL\r\n"), Server::S(listing)}), Quit()));
  EXPECT_EQ(pop3().SnapshotUids(0), 1);
  EXPECT_EQ(mailbox().uid_count, 4096);
  EXPECT_EQ(std::string(mailbox().uid_records[0].text), std::string(70, 'L'));
  EXPECT_STREQ(mailbox().uid_records[4095].text, "id4096");
  EXPECT_EQ(account().no_uidl, 1);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Too many mails in the mailbox. (MAX:4096 mails) "
                                                 "The filtering option by history may not work."}));
}

TEST_F(Pop3ClientTest, ReverseOrderRetrievesAndDeletesTheLastMessageFirst) {
  account().pop_reverse_order = 1;
  Server::Script retrieve =
      Then(Login(5),
           {Server::C("UIDL\r\n"), Server::S("+OK\r\n1 a\r\n2 b\r\n3 c\r\n4 d\r\n5 e\r\n.\r\n")});
  for (int n = 5; n >= 1; --n)
    retrieve = Then(retrieve, Retrieve(n, "+OK\r\n" + std::to_string(n) + "\r\n.\r\n"));
  server.AddSession(Then(retrieve, Quit()));
  Server::Script remove = Login(5);
  for (int n : {5, 3, 2, 1})
    remove = Then(remove, {Server::C("DELE " + std::to_string(n) + "\r\n"), Server::S("+OK\r\n")});
  server.AddSession(Then(remove, Quit()));

  ASSERT_EQ(pop3().OpenRcvSession(0), 5);
  ASSERT_EQ(pop3().RetrieveNewMessages(0), 1);
  pop3().CloseSession(0, true);
  // Position 0 is message 5; position 1 (message 4) was filtered.
  engine->pass_results.fill(kNotHandled);
  uint16_t results[5] = {0, 12, 7, 2, 0};
  std::copy(results, results + 5, engine->pass_results.begin());
  EXPECT_EQ(pop3().DeleteForwarded(0), 1);
  EXPECT_EQ(mailbox().message_count, 1);
  EXPECT_EQ(mailbox().first_index, 0);
}

TEST_F(Pop3ClientTest, DeleteAllMailNeverTouchesMailThatCameAfterThePass) {
  account().delete_all_mail = 1;
  mailbox().message_count = 2;  // the count the pass saw
  server.AddSession(Then(Then(Login(3), {Server::C("DELE 1\r\n"), Server::S("+OK\r\n"),
                                         Server::C("DELE 2\r\n"), Server::S("+OK\r\n")}),
                         Quit()));
  EXPECT_EQ(pop3().DeleteForwarded(0), 1);
  EXPECT_EQ(mailbox().message_count, 1);
}

TEST_F(Pop3ClientTest, PasswordsAreMaskedInTheSessionLog) {
  server.AddSession(Then(Login(0), Quit()));
  ASSERT_EQ(pop3().OpenRcvSession(0), 0);
  pop3().CloseSession(0, true);
  EXPECT_FALSE(Exists(dirs().current + "/quillet_session.log"));  // no tracing: no file

  engine->settings.global.debug_logging = 1;
  clock.SetLocalTime(2026, 12, 10, 9, 8, 7);
  server.AddSession(Then(Login(0), Quit()));
  account().use_apop = 1;
  server.AddSession({Server::S("+OK <1.2@host>\r\n"),
                     Server::C("APOP alice " + ApopDigest("<1.2@host>s3cret") + "\r\n"),
                     Server::S("-ERR no\r\n")});
  account().use_apop = 0;
  ASSERT_EQ(pop3().OpenRcvSession(0), 0);
  pop3().CloseSession(0, true);
  account().use_apop = 1;
  EXPECT_LT(pop3().OpenRcvSession(0), 0);
  std::string log = SessionLog();
  EXPECT_NE(log.find("POP3: 09:08:07 [->]PASS *****\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("APOP: 09:08:07 [->]APOP ***** *****\r\n"), std::string::npos);
  EXPECT_NE(log.find("****: 09:08:07 [->]QUIT\r\n"), std::string::npos);
  EXPECT_NE(log.find("---- Quillet V3.47.1 starts POP3 session : 12/10/26 09:08 ----\r\n"),
            std::string::npos);
  EXPECT_EQ(log.find("s3cret"), std::string::npos);
  EXPECT_EQ(log.find(ApopDigest("<1.2@host>s3cret")), std::string::npos);
}

TEST_F(Pop3ClientTest, ConnectionFailuresAreReported) {
  account().pop3_port = static_cast<int16_t>(testing::UnusedPort());  // nothing listens there
  for (int nonblocking : {1, 0}) {
    account().nonblocking = static_cast<int16_t>(nonblocking);
    EXPECT_LT(pop3().OpenRcvSession(0), 0);
    EXPECT_EQ(Entries().back(), "Communication error.: Connection refused.");
    EXPECT_EQ(mailbox().socket, -1);
  }
  EXPECT_EQ(ui.StatusTexts().back(), "Error:OpenRcvSession:connect");

  SetText(account().pop3_server, "");
  EXPECT_LT(pop3().OpenRcvSession(0), 0);
  EXPECT_EQ(ui.StatusTexts().back(), "Error:OpenRcvSession:gethostbyname:");
}

TEST_F(Pop3ClientTest, ConnectThatNeverCompletesTimesOutWithOneMarkPerPoll) {
  // A listener whose backlog is full leaves further connects pending.
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(listener, 0);
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    int f = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(f, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers.push_back(f);
  }
  engine->settings.global.debug_logging = 1;
  account().pop3_port = static_cast<int16_t>(ntohs(addr.sin_port));
  EXPECT_LT(pop3().OpenRcvSession(0), 0);
  EXPECT_EQ(Entries().back(), "Receiving timeout : connect() failed");
  std::string log = SessionLog();
  size_t marks = std::count(log.begin(), log.end(), '#');
  EXPECT_EQ(marks, 20u) << log;  // 2 s of 100 ms polls
  EXPECT_NE(log.find("[Non-Blk-Mode]####"), std::string::npos);
  EXPECT_NE(log.find("#<timeout>\r\n"), std::string::npos);
  for (int f : fillers) close(f);
  close(listener);
}

TEST_F(Pop3ClientTest, ServerThatGoesAwayOrStallsLosesNothing) {
  account().no_uidl = 1;
  // Closed in the middle of a message: no QUIT, so the server keeps everything.
  server.AddSession(
      Then(Login(1), {Server::C("LIST 1\r\n"), Server::S("+OK\r\n"), Server::C("RETR 1\r\n"),
                      Server::S("+OK\r\npart of it\r\n"), Server::Drop()}));
  // A DELE run that fails half-way.
  server.AddSession(Then(Login(2), {Server::C("DELE 1\r\n"), Server::Drop()}));
  // A message whose end never comes.
  server.AddSession(
      Then(Login(1), {Server::C("LIST 1\r\n"), Server::S("+OK\r\n"), Server::C("RETR 1\r\n"),
                      Server::S("+OK\r\nand then\r\n"), Server::Stall(4000)}));

  ASSERT_EQ(pop3().OpenRcvSession(0), 1);
  EXPECT_EQ(pop3().RetrieveNewMessages(0), -1);
  pop3().CloseSession(0, false);
  EXPECT_EQ(Entries().back(), "Communication error. The server closed the connection.");
  EXPECT_EQ(server.Received(0).find("QUIT"), std::string::npos);

  engine->pass_results.fill(0);
  mailbox().first_index = 0;
  EXPECT_EQ(pop3().DeleteForwarded(0), -1);
  pop3().CloseSession(0, false);
  EXPECT_EQ(server.Received(1).find("QUIT"), std::string::npos);

  mailbox().first_index = 0;
  ASSERT_EQ(pop3().OpenRcvSession(0), 1);
  EXPECT_EQ(pop3().RetrieveNewMessages(0), -1);
  pop3().CloseSession(0, false);
  EXPECT_EQ(Entries().back(), "Receiving timeout : code=02");
}

TEST_F(Pop3ClientTest, HostileGreetingsAreBounded) {
  server.AddSession({Server::S(std::string(100000, 'x'))});                   // never a line end
  server.AddSession({Server::S(std::string("\0\x01\xff garbage\r\n", 13))});  // binary
  server.AddSession({Server::S("+OK\r\n"), Server::C("USER alice\r\n"), Server::Drop()});
  EXPECT_LT(pop3().OpenRcvSession(0), 0);
  EXPECT_EQ(Entries().back(), "Communication error. The reply of the server is too long.");
  EXPECT_LE(engine->reply.size(), kReplyBufferSize);
  EXPECT_LT(pop3().OpenRcvSession(0), 0);
  EXPECT_LT(pop3().OpenRcvSession(0), 0);
  EXPECT_EQ(Entries().back(), "Communication error. The server closed the connection.");
}

}  // namespace
}  // namespace quillet
