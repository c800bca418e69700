#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "demo_servers.h"
#include "headless_app.h"
#include "store/settings_text.h"
#include "support/sandbox.h"
#include "support/test_helpers.h"

namespace quillet {
namespace {

using testing::WaitUntil;

class DaemonTest : public testing::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    pop3.AddMailbox("carol", "pw");
    // A settings file in the working directory makes it the data directory.
    auto settings = std::make_unique<Settings>();
    ApplyDefaults(*settings, ScreenSize{});
    ApplyFixUps(*settings, ScreenSize{});
    std::string error;
    ASSERT_TRUE(ImportSettingsText(
        "[account.0]\nenabled = 1\npop3_user = \"carol\"\npop3_password = \"pw\"\n"
        "pop3_server = \"127.0.0.1\"\nsmtp_server = \"127.0.0.1\"\nmail_address = "
        "\"carol@example.org\"\n"
        "forward_to = \"phone@example.net\"\ncheck_interval_minutes = 1\nsmtp_port_manual = 1\n"
        "delete_after_forward = 1\npop3_port = " +
            std::to_string(pop3.port()) + "\nsmtp_port = " + std::to_string(smtp.port()) + "\n",
        *settings, error))
        << error;
    SettingsPaths paths{dirs().current, dirs().config, true};
    ASSERT_TRUE(SaveSettings(*settings, paths, ScreenSize{}, nullptr));
  }
  void Mail(const std::string& uid) {
    pop3.Deliver("carol", {uid, "From: x@example.com\r\nSubject: " + uid + "\r\n\r\nbody\r\n"});
  }

  DemoPop3Server pop3;
  DemoSmtpServer smtp;
};

TEST_F(DaemonTest, ForwardsBetweenTicksSurvivesAnOutageAndStopsCleanly) {
  Mail("first");
  StopSignal stop;
  RunContext context;
  context.dirs = dirs();
  std::string log = root() + "/console.txt";
  context.out = std::fopen(log.c_str(), "w");
  context.err = context.out;
  context.stop = &stop;
  context.tick_ms = 200;
  context.lock_dir = root();
  int status = -1;
  std::thread daemon([&] {
    status = RunHeadlessApp({"--headless", "--log-file", root() + "/copy.txt"}, context);
  });

  EXPECT_TRUE(WaitUntil([&] { return smtp.Messages().size() == 1; }));
  Mail("second");
  EXPECT_TRUE(WaitUntil([&] { return smtp.Messages().size() == 2; }));
  EXPECT_TRUE(WaitUntil([&] { return pop3.Count("carol") == 0; }));  // deleted after forwarding
  pop3.SetAvailable(false);
  Mail("during the outage");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(smtp.Messages().size(), 2u);
  pop3.SetAvailable(true);
  EXPECT_TRUE(WaitUntil([&] { return smtp.Messages().size() == 3; }));
  EXPECT_TRUE(WaitUntil([&] { return pop3.Count("carol") == 0; }));  // deleted after forwarding

  stop.Request();
  daemon.join();
  std::fclose(context.out);
  EXPECT_EQ(status, 0);
  std::vector<uint8_t> console = ReadFile(log);
  std::string text(console.begin(), console.end());
  EXPECT_NE(text.find("[error] (carol) Can't connect to the POP server"), std::string::npos);
  EXPECT_NE(text.find("stopped; settings saved."), std::string::npos);
  std::vector<uint8_t> copy = ReadFile(root() + "/copy.txt");
  EXPECT_NE(std::string(copy.begin(), copy.end()).find("[forwarded]"), std::string::npos);
  EXPECT_EQ(ReadFile(dirs().current + "/qlt3uidl.mbx").size(), 2949176u);
  EXPECT_EQ(ReadFile(dirs().current + "/quillet3.prf").size(), 334930u);
}

// The real program, stopped by a real signal.
TEST_F(DaemonTest, TheProgramStopsOnSigtermAndASecondInstanceLeavesAtOnce) {
  Mail("one");
  auto spawn = [&](std::vector<std::string> args, const std::string& output) {
    std::fflush(nullptr);  // the child must not write our buffered output again
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dirs().current.c_str()) != 0) _exit(100);
      setenv("XDG_RUNTIME_DIR", root().c_str(), 1);
      setenv("XDG_CONFIG_HOME", (root() + "/config").c_str(), 1);
      FILE* f = std::freopen(output.c_str(), "w", stdout);
      if (f == nullptr || dup2(fileno(stdout), 2) < 0) _exit(101);
      std::vector<char*> argv;
      std::string program = QUILLET_BINARY;
      argv.push_back(program.data());
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(102);
    }
    return pid;
  };
  pid_t daemon = spawn({"--headless"}, root() + "/daemon.txt");
  ASSERT_GT(daemon, 0);
  EXPECT_TRUE(WaitUntil([&] { return smtp.Messages().size() == 1; }));

  pid_t second = spawn({"--headless", "--once"}, root() + "/second.txt");
  int second_status = -1;
  waitpid(second, &second_status, 0);
  EXPECT_TRUE(WIFEXITED(second_status));
  EXPECT_EQ(WEXITSTATUS(second_status), 0);
  std::vector<uint8_t> said = ReadFile(root() + "/second.txt");
  EXPECT_NE(std::string(said.begin(), said.end()).find("another instance is already running"),
            std::string::npos);

  kill(daemon, SIGTERM);
  int status = -1;
  waitpid(daemon, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::vector<uint8_t> out = ReadFile(root() + "/daemon.txt");
  EXPECT_NE(std::string(out.begin(), out.end()).find("stopped; settings saved."),
            std::string::npos);
  // Nothing half-written is left beside the files.
  for (const auto& entry : std::filesystem::directory_iterator(dirs().current))
    EXPECT_EQ(entry.path().string().find(".XXXX"), std::string::npos);
  EXPECT_EQ(ReadFile(dirs().current + "/quillet3.prf").size(), 334930u);
}

#ifdef QUILLET_WITH_DESKTOP
// A second desktop start hands over to the first and ends at once.
TEST_F(DaemonTest, ASecondDesktopStartRaisesTheFirstAndEnds) {
  auto spawn = [&](const std::string& output) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dirs().current.c_str()) != 0) _exit(100);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("USER", ("quillet-test-" + std::to_string(getppid())).c_str(), 1);
      setenv("XDG_CONFIG_HOME", (root() + "/config").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", root().c_str(), 1);
      if (std::freopen(output.c_str(), "w", stdout) == nullptr || dup2(fileno(stdout), 2) < 0)
        _exit(101);
      execl(QUILLET_BINARY, QUILLET_BINARY, static_cast<char*>(nullptr));
      _exit(102);
    }
    return pid;
  };
  pid_t first = spawn(root() + "/first.txt");
  ASSERT_GT(first, 0);
  std::this_thread::sleep_for(std::chrono::seconds(2));  // the first window is up
  pid_t second = spawn(root() + "/second.txt");
  int status = -1;
  bool ended = WaitUntil([&] { return waitpid(second, &status, WNOHANG) == second; }, 20);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0);  // the first one still runs
  kill(first, SIGTERM);
  waitpid(first, nullptr, 0);
  if (!ended) kill(second, SIGKILL);
}
#endif

}  // namespace
}  // namespace quillet
