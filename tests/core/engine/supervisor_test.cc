#include "engine/supervisor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "compose/delivery.h"
#include "fake_protocols.h"
#include "support/protocol_fixture.h"
#include "support/test_helpers.h"

namespace quillet {
namespace {

using testing::WaitUntil;

using Server = testing::ScriptedServer;
constexpr uint32_t kMinute = 60000;

class SupervisorTest : public testing::ProtocolTest {
 protected:
  void SetUp() override {
    ProtocolTest::SetUp();
    worker = std::make_unique<CommThread>(*engine, MailServices::Make);
    supervisor = std::make_unique<Supervisor>(*engine, *worker);
    supervisor->SetRestartWait(std::chrono::seconds(5));
    engine->settings.global.debug_logging = 1;
    engine->settings.global.watchdog_minutes = 10;
  }
  void TearDown() override {
    supervisor.reset();
    worker.reset();
    ProtocolTest::TearDown();
  }
  std::unique_ptr<CommThread> worker;
  std::unique_ptr<Supervisor> supervisor;
};

TEST_F(SupervisorTest, StalledServerIsGivenUpOnlyAfterTheLimit) {
  server.AddSession(
      {Server::S("+OK ready\r\n"), Server::C("USER alice\r\n"), Server::Stall(60000)});
  engine->settings.global.custom_timeout =
      0;  // the socket waits a minute: only the watchdog ends it
  ASSERT_TRUE(supervisor->StartForwarding());
  ASSERT_TRUE(WaitUntil([&] { return server.Received(0).find("USER") != std::string::npos; }));
  EXPECT_FALSE(supervisor->StartForwarding());  // a command during a pass is dropped

  clock.Advance(9 * kMinute);
  supervisor->OnPassTimer();
  EXPECT_EQ(worker->worker_id(), 1);
  EXPECT_EQ(engine->working, 1);
  clock.Advance(2 * kMinute);
  supervisor->OnPassTimer();
  EXPECT_EQ(worker->worker_id(), 2);
  EXPECT_EQ(engine->working, 0);
  EXPECT_EQ(engine->busy, 0);
  EXPECT_EQ(
      ui.RowTexts().back(),
      "Because the communication thread is busy for over specified time, it has been rebooted.");
  std::string log = SessionLog();
  size_t line = log.find("####: A timer event comes while the com thread is busy. : tick = 5");
  ASSERT_NE(line, std::string::npos) << log;
  EXPECT_EQ(log.substr(log.find('/', line), 9), "/600000\r\n");
  EXPECT_NE(SessionLog().find("####: Waiting termination... : done : retcode=0 :WAIT_OBJECT_0\r\n"),
            std::string::npos);
  // The cancelled run recorded nothing after it was given up.
  for (const std::string& row : ui.RowTexts())
    EXPECT_EQ(row.find("Receiving"), std::string::npos) << row;
  EXPECT_FALSE(Exists(engine->paths.UidlStorePath()));

  // The fresh worker takes the next command.
  server.AddSession(Then(Login(0), {Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  server.AddSession({Server::S("220 relay\r\n"), Server::C("HELO " + testing::Host() + "\r\n"),
                     Server::S("250 hi\r\n"), Server::C("RSET\r\n"), Server::S("250 ok\r\n"),
                     Server::C("QUIT\r\n"), Server::S("221 bye\r\n")});
  server.AddSession(Then(Login(0), {Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  ASSERT_TRUE(supervisor->StartForwarding());
  worker->WaitIdle();
  EXPECT_EQ(engine->started, 1);
  EXPECT_TRUE(Exists(engine->paths.UidlStorePath()));
}

TEST_F(SupervisorTest, ADownloadThatKeepsReceivingIsNeverRestarted) {
  account().no_uidl = 1;
  std::string message = "+OK\r\n";
  std::vector<size_t> cuts;
  for (int i = 0; i < 20; ++i) {
    message += "line " + std::to_string(i) + " of a slow message\r\n";
    cuts.push_back(message.size());
  }
  message += ".\r\n";
  server.AddSession(Then(Login(1), {Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  server.AddSession({Server::S("220 relay\r\n"), Server::C("HELO " + testing::Host() + "\r\n"),
                     Server::S("250 hi\r\n"), Server::C("RSET\r\n"), Server::S("250 ok\r\n"),
                     Server::C("QUIT\r\n"), Server::S("221 bye\r\n")});
  server.AddSession(
      Then(Login(1), {Server::C("LIST 1\r\n"), Server::S("+OK\r\n"), Server::C("RETR 1\r\n"),
                      Server::S(message, cuts, 60), Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  server.AddSession({Server::S("220 relay\r\n")});  // the forward itself: not needed here
  ASSERT_TRUE(supervisor->StartForwarding());
  ASSERT_TRUE(WaitUntil([&] { return server.Received(2).find("RETR 1") != std::string::npos; }));
  int ticks = 0;
  while (engine->working == 1 && ticks < 200) {
    clock.Advance(11 * kMinute);
    uint32_t advanced = clock.TickCount();
    // Once the worker shows progress after the jump, the tick finds it active.
    if (!WaitUntil([&] { return engine->last_activity_tick >= advanced || engine->working == 0; }))
      break;
    supervisor->OnPassTimer();
    ++ticks;
  }
  EXPECT_GT(ticks, 5);
  EXPECT_EQ(worker->worker_id(), 1);
  worker->WaitIdle();
}

TEST_F(SupervisorTest, NoRestartWhileADialogIsOpenOrAfterTheTickWrapped) {
  engine->working = 1;
  engine->config_open = 1;
  engine->last_activity_tick = clock.TickCount();
  clock.Advance(600 * kMinute);
  supervisor->OnPassTimer();
  EXPECT_EQ(worker->worker_id(), 1);
  engine->config_open = 0;
  engine->last_activity_tick = clock.TickCount() + 1000;  // the counter wrapped meanwhile
  supervisor->OnPassTimer();
  EXPECT_EQ(worker->worker_id(), 1);
  EXPECT_EQ(engine->last_activity_tick, clock.TickCount());
  engine->settings.global.watchdog_enabled = 0;
  clock.Advance(600 * kMinute);
  supervisor->OnPassTimer();
  EXPECT_EQ(worker->worker_id(), 1);
  engine->working = 0;
}

TEST_F(SupervisorTest, SummaryTimersAndQuit) {
  EXPECT_EQ(supervisor->SummaryText(), "Disconnected");
  EXPECT_EQ(supervisor->SummaryKind(), kStatusDisconnected);
  engine->started = 1;
  engine->forwarded_count = 3;
  engine->connection_count = 7;
  EXPECT_EQ(supervisor->SummaryText(), "Ready.. : 3 mails forwarded (Connection: 7 times)");
  EXPECT_EQ(supervisor->SummaryKind(), kStatusReady);

  EXPECT_FALSE(supervisor->WindowCreated());
  engine->settings.global.connect_at_startup = 1;
  EXPECT_TRUE(supervisor->WindowCreated());
  EXPECT_EQ(ui.RowTexts().back(), "Starting up automatically.");

  engine->working = 1;
  EXPECT_FALSE(supervisor->Quit());
  EXPECT_EQ(ui.beeps.size(), 1u);
  engine->working = 0;
  engine->settings.global.confirm_quit = 1;
  ui.answer = MessageAnswer::kNo;
  EXPECT_FALSE(supervisor->Quit());
  EXPECT_EQ(ui.messages.back().text, "Do you wish to quit QuilletPost?");
  ui.answer = MessageAnswer::kYes;
  EXPECT_TRUE(supervisor->Quit());
}

TEST_F(SupervisorTest, HistoryIsTrimmedBeforeALaunch) {
  engine->settings.global.history_auto_halve = 1;
  engine->settings.global.history_halve_threshold = 2;
  std::string text;
  for (int i = 0; i < 4; ++i) text += "V1;3;Info;d;old" + std::to_string(i) + ";x; ; ; ;\n";
  EnsureDirectory(engine->paths.DataDirectory());
  WriteFile(engine->paths.HistoryPath(), text);
  engine->started = 0;  // the tick then does nothing else
  supervisor->OnPassTimer();
  worker->WaitIdle();
  std::vector<uint8_t> after = ReadFile(engine->paths.HistoryPath());
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 3);
}

}  // namespace
}  // namespace quillet
