#include "headless_app.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "store/settings_text.h"
#include "support/sandbox.h"

namespace quillet {
namespace {

// Runs the program in the sandbox and captures what it prints.
class HeadlessAppTest : public testing::SandboxTest {
 protected:
  int Run(std::vector<std::string> args) {
    char* out_buf = nullptr;
    char* err_buf = nullptr;
    size_t out_len = 0, err_len = 0;
    std::FILE* out = open_memstream(&out_buf, &out_len);
    std::FILE* err = open_memstream(&err_buf, &err_len);
    int rc = RunHeadlessApp(args, dirs(), out, err);
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

TEST_F(HeadlessAppTest, OnceSaysPlainlyThatTheProtocolsAreMissing) {
  Import(
      "[global]\ndebug_logging = 1\n[account.0]\nenabled = 1\npop3_user = \"bob\"\n"
      "pop3_server = \"pop.invalid\"\nsmtp_server = \"smtp.invalid\"\n"
      "mail_address = \"me@invalid\"\nforward_to = \"you@invalid\"\n");
  EXPECT_EQ(Run({"--headless", "--once"}), 1);
  EXPECT_NE(out_text.find("[error] (bob) The mail protocols are not available in this build yet."),
            std::string::npos)
      << out_text;
  EXPECT_NE(out_text.find("status: ERROR: OpenRcvSession."), std::string::npos);
  EXPECT_NE(out_text.find("Logging option for debug is enabled.: quillet_session.log : 0 kbyte"),
            std::string::npos);
  std::vector<uint8_t> trace = ReadFile(dirs().current + "/quillet_session.log");
  EXPECT_EQ(
      std::string(trace.begin(), trace.end()).rfind("\r\n==== Quillet V3.47.1 starting up ", 0),
      0u);
  EXPECT_TRUE(Exists(dirs().config + "/qlt3uidl.mbx"));
  std::vector<uint8_t> history = ReadFile(dirs().config + "/quillet_.log");
  EXPECT_NE(std::string(history.begin(), history.end()).find(";Can't connect to the POP server;"),
            std::string::npos);
}

}  // namespace
}  // namespace quillet
