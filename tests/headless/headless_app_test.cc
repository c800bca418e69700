#include "headless_app.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "store/settings_text.h"
#include "support/sandbox.h"
#include "support/scripted_server.h"

namespace quillet {
namespace {

std::string Host() {
  char host[512] = {};
  gethostname(host, sizeof host - 1);
  return host;
}

// Runs the program in the sandbox and captures what it prints.
class HeadlessAppTest : public testing::SandboxTest {
 protected:
  int Run(std::vector<std::string> args) {
    char* out_buf = nullptr;
    char* err_buf = nullptr;
    size_t out_len = 0, err_len = 0;
    std::FILE* out = open_memstream(&out_buf, &out_len);
    std::FILE* err = open_memstream(&err_buf, &err_len);
    RunContext context;
    context.dirs = dirs();
    context.out = out;
    context.err = err;
    context.lock_dir = root();
    int rc = RunHeadlessApp(args, context);
    std::fclose(out);
    std::fclose(err);
    out_text.assign(out_buf, out_len);
    err_text.assign(err_buf, err_len);
    std::free(out_buf);
    std::free(err_buf);
    return rc;
  }
  std::string Settings() { return dirs().config + "/quillet3.prf"; }
  void Import(const std::string& text) {
    WriteFile(root() + "/in.txt", text);
    ASSERT_EQ(Run({"--import-settings", root() + "/in.txt"}), 0) << err_text;
  }

  std::string out_text, err_text;
};

TEST_F(HeadlessAppTest, HelpVersionAndUnknownOptions) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out_text.find("--headless --once"), std::string::npos);
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_NE(out_text.find("3.47"), std::string::npos);
  EXPECT_EQ(Run({"--frobnicate"}), 2);
  EXPECT_NE(err_text.find("unknown option --frobnicate"), std::string::npos);
  EXPECT_NE(err_text.find("Usage:"), std::string::npos);
  EXPECT_EQ(Run({"--import-settings"}), 2);
}

TEST_F(HeadlessAppTest, ImportWritesTheFileAndExportReadsItBack) {
  Import(
      "[account.0]\nenabled = 1\npop3_user = \"alice\"\naccount_name = \"Caf\\xE9\"\n"
      "divide_bytes = 50\n[global]\nwatchdog_minutes = 5\n");
  std::vector<uint8_t> file = ReadFile(Settings());
  ASSERT_EQ(file.size(), 334930u);
  auto plain = [&](size_t off) {
    return static_cast<uint8_t>((file[off] << 4) | (file[off] >> 4));
  };
  EXPECT_EQ(plain(1100 + 1282), 1);
  EXPECT_EQ(plain(1100 + 1154), 'a');
  EXPECT_EQ(plain(1100 + 1283 + 3), 0xE9);
  EXPECT_EQ(plain(1100 + 2597), 100);  // the load fix-ups ran before the write
  EXPECT_EQ(plain(92), 10);

  ASSERT_EQ(Run({"--export-settings"}), 0);
  std::string first = out_text;
  EXPECT_NE(first.find("account_name = \"Caf\\xE9\"\n"), std::string::npos);
  EXPECT_NE(first.find("divide_bytes = 100\n"), std::string::npos);
  ASSERT_EQ(Run({"--export-settings", root() + "/out.txt"}), 0);
  std::vector<uint8_t> second = ReadFile(root() + "/out.txt");
  EXPECT_EQ(std::string(second.begin(), second.end()), first);

  // Importing the export changes nothing.
  Import(first);
  EXPECT_EQ(ReadFile(Settings()), file);
}

TEST_F(HeadlessAppTest, ExportReadsAFileWrittenByHandFromTheOffsets) {
  std::vector<uint8_t> image(334930, 0);
  auto put = [&](size_t offset, const void* p, size_t n) {
    std::memcpy(image.data() + offset, p, n);
  };
  auto i16 = [&](size_t offset, int16_t v) { put(offset, &v, 2); };
  put(0, "QUILLETS_V300", 13);
  int16_t widths[6] = {50, 60, 70, 80, 90, 99};
  put(16, widths, sizeof widths);
  i16(28, 640);
  i16(30, 400);
  i16(44, 3);
  i16(88, 1);
  int32_t minutes = 45;
  put(92, &minutes, 4);
  size_t a2 = 1100 + 33383 * 2;
  put(a2 + 898, "pop.example.net", 15);
  put(a2 + 1154, "erin", 4);
  image[a2 + 1282] = 1;
  put(a2 + 1283, "Caf\xE9", 4);
  i16(a2 + 4139, 995);
  i16(a2 + 4143, 7);
  uint32_t stop = 0x800001;
  put(a2 + 32901 + 4 * 6, &stop, 4);
  for (uint8_t& b : image) b = static_cast<uint8_t>((b << 4) | (b >> 4));
  std::filesystem::create_directories(dirs().config);
  WriteFile(Settings(), image.data(), image.size());
  ASSERT_EQ(Run({"--export-settings"}), 0);
  for (const char* line :
       {"history_column_widths = 50 60 70 80 90 99\n", "window_width = 640\n",
        "receive_buffer_level = 3\n", "confirm_quit = 1\n", "watchdog_minutes = 45\n",
        "[account.2]\nsmtp_server = \"\"\n", "pop3_server = \"pop.example.net\"\n",
        "pop3_user = \"erin\"\n", "enabled = 1\n", "account_name = \"Caf\\xE9\"\n",
        "pop3_port = 995\n", "check_interval_minutes = 7\n",
        "schedule_stop_hours = 0x000000 0x000000 0x000000 0x000000 0x000000 0x000000 0x800001\n"})
    EXPECT_NE(out_text.find(line), std::string::npos) << line;
}

TEST_F(HeadlessAppTest, BadImportNamesTheLineAndWritesNothing) {
  WriteFile(root() + "/bad.txt", "[global]\nconfirm_quit = 1\n[account.0]\npop3_user = \"" +
                                     std::string(64, 'x') + "\"\n");
  EXPECT_EQ(Run({"--import-settings", root() + "/bad.txt"}), 2);
  EXPECT_NE(err_text.find("bad.txt: line 4: text of 64 bytes"), std::string::npos) << err_text;
  EXPECT_FALSE(Exists(Settings()));
  EXPECT_EQ(Run({"--import-settings", root() + "/missing.txt"}), 2);
}

TEST_F(HeadlessAppTest, OnceIsRefusedWithoutAUsableAccount) {
  EXPECT_EQ(Run({"--headless", "--once"}), 2);
  EXPECT_NE(err_text.find("ALERT: There is no available account."), std::string::npos);
  EXPECT_TRUE(Exists(Settings()));  // the settings are saved on the way out

  Import("[account.1]\nenabled = 1\npop3_user = \"bob\"\n");
  EXPECT_EQ(Run({"--headless", "--once"}), 2);
  EXPECT_NE(err_text.find("ALERT: Wrong account settings. (bob)"), std::string::npos) << err_text;
}

TEST_F(HeadlessAppTest, OnceForwardsRecordsAndDeletes) {
  using Server = testing::ScriptedServer;
  Server pop3, smtp;
  auto login = [](int count) {
    return Server::Script{Server::S("+OK ready\r\n"),
                          Server::C("USER bob\r\n"),
                          Server::S("+OK\r\n"),
                          Server::C("PASS pw\r\n"),
                          Server::S("+OK\r\n"),
                          Server::C("STAT\r\n"),
                          Server::S("+OK " + std::to_string(count) + " 99\r\n")};
  };
  auto then = [](Server::Script a, std::vector<Server::Step> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  std::string message =
      "From: Ann <ann@example.com>\r\nTo: bob@example.org\r\nSubject: Lunch?\r\n"
      "Message-ID: <lunch-1@example.com>\r\n\r\nAt noon.\r\n.\r\n";
  pop3.AddSession(then(login(1), {Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  pop3.AddSession(then(
      login(1), {Server::C("UIDL\r\n"), Server::S("+OK\r\n1 uid-1\r\n.\r\n"),
                 Server::C("LIST 1\r\n"), Server::S("+OK 1 30\r\n"), Server::C("RETR 1\r\n"),
                 Server::S("+OK\r\n" + message), Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  pop3.AddSession(then(login(1), {Server::C("DELE 1\r\n"), Server::S("+OK\r\n"),
                                  Server::C("QUIT\r\n"), Server::S("+OK\r\n")}));
  std::string helo = "HELO " + Host() + "\r\n";
  smtp.AddSession({Server::S("220 relay\r\n"), Server::C(helo), Server::S("250 hi\r\n"),
                   Server::C("RSET\r\n"), Server::S("250 ok\r\n"), Server::C("QUIT\r\n"),
                   Server::S("221 bye\r\n")});
  smtp.AddSession({Server::S("220 relay\r\n"), Server::C(helo), Server::S("250 hi\r\n"),
                   Server::C("RSET\r\n"), Server::S("250 ok\r\n"),
                   Server::C("MAIL FROM: <me@example.org>\r\n"), Server::S("250 ok\r\n"),
                   Server::C("RCPT TO: <you@example.net>\r\n"), Server::S("250 ok\r\n"),
                   Server::C("DATA\r\n"), Server::S("354 go\r\n"), Server::Data(),
                   Server::S("250 queued\r\n"), Server::C("QUIT\r\n"), Server::S("221 bye\r\n")});
  Import(
      "[global]\ndebug_logging = 1\n[account.0]\nenabled = 1\npop3_user = \"bob\"\n"
      "pop3_password = \"pw\"\npop3_server = \"127.0.0.1\"\nsmtp_server = \"127.0.0.1\"\n"
      "mail_address = \"me@example.org\"\nforward_to = \"you@example.net\"\n"
      "delete_after_forward = 1\nsmtp_port_manual = 1\nadd_resent_headers = 0\n"
      "pop3_port = " +
      std::to_string(pop3.port()) + "\nsmtp_port = " + std::to_string(smtp.port()) + "\n");
  EXPECT_EQ(Run({"--headless", "--once"}), 0) << out_text;
  EXPECT_TRUE(pop3.WaitDone());
  EXPECT_TRUE(smtp.WaitDone());
  for (const std::string& f : pop3.Failures()) ADD_FAILURE() << f;
  for (const std::string& f : smtp.Failures()) ADD_FAILURE() << f;
  EXPECT_EQ(
      smtp.DataOf(1),
      "To: bob@example.org\r\nFrom: Ann <ann@example.com>\r\nMessage-ID: <lunch-1@example.com>\r\n"
      "Subject: Lunch?\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n"
      "Content-Transfer-Encoding: 7bit\r\n"
      "X-Mailer: Quillet V3.47.1 \r\n\r\nAt noon.\r\n\r\n.\r\n");
  EXPECT_NE(out_text.find("[info] (bob) POP3/SMTP connection completed successfully."),
            std::string::npos)
      << out_text;
  EXPECT_NE(
      out_text.find("[forwarded] (bob) Lunch? | From: Ann <ann@example.com> | To: bob@example.org"),
      std::string::npos);
  std::vector<uint8_t> store = ReadFile(dirs().config + "/qlt3uidl.mbx");
  ASSERT_EQ(store.size(), 2949176u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(store.data()) + 4), "uid-1");
  std::vector<uint8_t> history = ReadFile(dirs().config + "/quillet_.log");
  EXPECT_NE(
      std::string(history.begin(), history.end())
          .find(";Lunch?;Ann <ann@example.com>;bob@example.org; <lunch-1@example.com>;(bob);\n"),
      std::string::npos);
  std::vector<uint8_t> trace = ReadFile(dirs().current + "/quillet_session.log");
  EXPECT_EQ(
      std::string(trace.begin(), trace.end()).rfind("\r\n==== Quillet V3.47.1 starting up ", 0),
      0u);
}

TEST_F(HeadlessAppTest, DemoForwardsSampleMailAndCleansUp) {
  EXPECT_EQ(Run({"--demo"}), 0) << err_text;
  EXPECT_NE(out_text.find("The SMTP server received 7 messages"), std::string::npos) << out_text;
  EXPECT_NE(out_text.find("[filtered by Subject] Alice (computer) [SPAM] You have won"),
            std::string::npos);
  EXPECT_NE(out_text.find("--REMOVED FILE--\nreport.pdf"), std::string::npos);
  EXPECT_NE(out_text.find("Subject: 3)Re: Fw: Your or"), std::string::npos);
  size_t at = out_text.find("Servers stopped; ");
  ASSERT_NE(at, std::string::npos);
  std::string dir = out_text.substr(at + 17, out_text.find(" removed.", at) - at - 17);
  EXPECT_FALSE(Exists(dir)) << dir;
  EXPECT_FALSE(
      Exists(dirs().current + "/quillet3.prf"));  // the demo never touches the user's files
}

}  // namespace
}  // namespace quillet
