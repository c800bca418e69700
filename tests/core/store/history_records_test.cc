#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "store/history_log.h"
#include "support/fake_clock.h"
#include "support/message_fixture.h"
#include "support/recording_ui.h"
#include "support/sandbox.h"

namespace quillet {
namespace {

class HistoryRecordsTest : public testing::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    log.SetPath(dirs().current + "/quillet_.log");
    log.SetSettings(&global);
    SetText(account->pop3_user, "alice");
  }
  std::string File() {
    std::vector<uint8_t> bytes = ReadFile(dirs().current + "/quillet_.log");
    return std::string(bytes.begin(), bytes.end());
  }
  void Record(const std::string& message, uint32_t code, const Account& a) {
    testing::LoadMessage(r, message);
    r.resultCode = code;
    log.RecordMail(r, a, 12);
  }
  testing::FakeClock clock;
  testing::RecordingUi ui;
  HistoryLog log{ui, clock};
  GlobalSettings global{};
  MessageRecord r;
  std::unique_ptr<Account> account = testing::DefaultAccount();
};

TEST_F(HistoryRecordsTest, MailRecordsFieldByField) {
  clock.SetLocalTime(2026, 12, 5, 15, 7);
  std::string first = "Subject: a;b\tc\r\nFrom: x@y\r\nMessage-ID: <id1@y>\r\n\r\nbody\r\n";
  std::string second = "X-Other: 1\r\n\r\nbody\r\n";
  std::string third = "Subject:\r\nTo: =?ISO-2022-JP?B?GyRCJCIbKEI=?= <z@w>\r\n\r\nb";
  Record(first, 7, *account);
  Record(second, 12, *account);
  SetText(account->account_name, "Work");
  Record(third, 0, *account);
  auto size = [](const std::string& m) { return std::to_string(m.size()) + "(12)"; };
  EXPECT_EQ(File(), "V1;7;" + size(first) + ";12/05/26 15:07;a,b c;x@y;(none); <id1@y>;(alice);\n" +
                        "V1;12;" + size(second) +
                        ";12/05/26 15:07;(No Subject);(none);(none); ;(alice);\n" + "V1;0;" +
                        size(third) + ";12/05/26 15:07;;(none);\x82\xA0 <z@w>; ;Work;\n");
  ASSERT_EQ(ui.rows.size(), 3u);
  EXPECT_EQ(ui.rows[0].icon, 7);
  EXPECT_EQ(ui.rows[0].subject, "a,b c");
  EXPECT_EQ(ui.rows[1].sort_key, 1);
  EXPECT_EQ(ui.rows[2].account, "Work");
}

TEST_F(HistoryRecordsTest, DuplicateTestPerAccountOrAcrossAll) {
  auto other = testing::DefaultAccount();
  SetText(other->pop3_user, "bob");
  std::string message = "Subject: s\r\nMessage-ID: <dup@x>\r\n\r\nb\r\n";
  Record(message, 0, *account);
  testing::LoadMessage(r, message);
  EXPECT_TRUE(log.IsAlreadyForwarded(r, *account));  // the test is off
  global.skip_if_in_history = 1;
  EXPECT_FALSE(log.IsAlreadyForwarded(r, *account));
  EXPECT_EQ(r.resultCode, 5u);
  r.resultCode = 0;
  EXPECT_TRUE(log.IsAlreadyForwarded(r, *other));  // recorded under another account
  global.history_check_all = 1;
  EXPECT_FALSE(log.IsAlreadyForwarded(r, *other));
  testing::LoadMessage(r, "Subject: no id\r\n\r\nb\r\n");
  EXPECT_TRUE(log.IsAlreadyForwarded(r, *account));
  // A mail the test held back leaves no trace when so configured.
  global.history_skip_filtered = 1;
  size_t before = File().size();
  Record(message, 5, *account);
  EXPECT_EQ(File().size(), before);
}

TEST_F(HistoryRecordsTest, GarbageAndHugeHistoriesAreCheckedSafely) {
  global.skip_if_in_history = 1;
  std::string garbage(3 << 20, ';');  // one line of 3 MB
  garbage += "\n\x01\x02;;;\n;\n" + std::string(100000, 'z');
  garbage += "\nV1;0;1(1);d;s;f;t; <late@x>;(alice);";  // a last line without LF
  WriteFile(dirs().current + "/quillet_.log", garbage);
  testing::LoadMessage(r, "Message-ID: <late@x>\r\n\r\nb");
  EXPECT_TRUE(log.IsAlreadyForwarded(r, *account));  // the unfinished line is not examined
  std::string history;
  for (int i = 0; i < 200000; ++i)
    history += "V1;0;1(1);d;s;f;t; <m" + std::to_string(i) + "@x>;(alice);\n";
  WriteFile(dirs().current + "/quillet_.log", history);
  testing::LoadMessage(r, "Message-ID: <m199999@x>\r\n\r\nb");
  EXPECT_FALSE(log.IsAlreadyForwarded(r, *account));
}

TEST_F(HistoryRecordsTest, HalvingKeepsTheNewerHalf) {
  global.history_auto_halve = 1;
  global.history_halve_threshold = 100;
  struct Case {
    int records;
    int kept;
  } cases[] = {{100, 100}, {101, 50}, {102, 51}};
  for (const Case& c : cases) {
    std::string text;
    for (int i = 1; i <= c.records; ++i)
      text += "V1;3;Info;d;r" + std::to_string(i) + ";x; ; ; ;\n";
    WriteFile(dirs().current + "/quillet_.log", text);
    log.HalveHistory();
    std::string after = File();
    if (c.kept == c.records) {
      EXPECT_EQ(after, text);
      continue;
    }
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), c.kept + 1);
    EXPECT_EQ(after.rfind("V1;3;Info;d;r" + std::to_string(c.records - c.kept + 1) + ";", 0), 0u);
    EXPECT_NE(after.find(";Half of the older history logs have been discarded automatically. / "
                         "Remaining logs : " +
                         std::to_string(c.kept) + ";"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace quillet
