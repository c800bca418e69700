#include "store/history_log.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/fake_clock.h"
#include "support/recording_ui.h"
#include "support/sandbox.h"

namespace quillet {
namespace {

class HistoryLogTest : public testing::SandboxTest {
 protected:
  testing::FakeClock clock;
  testing::RecordingUi ui;
};

TEST_F(HistoryLogTest, InformationRecordsHaveTheirFieldsInOrder) {
  clock.SetLocalTime(2026, 3, 4, 5, 6);
  HistoryLog log(ui, clock);
  log.SetPath(dirs().config + "/quillet_.log");  // the directory does not exist yet
  auto account = std::make_unique<Account>();
  SetText(account->pop3_user, "al;ice");
  log.RecordInfo("Can't connect;\tto\r\nthe server", kKindError, account.get());
  log.RecordInfo("", kKindInformation, nullptr);
  std::vector<uint8_t> bytes = ReadFile(dirs().config + "/quillet_.log");
  EXPECT_EQ(
      std::string(bytes.begin(), bytes.end()),
      "V1;4;Info;03/04/26 05:06;Can't connect, to  the server;(Quillet System); ; ;(al,ice);\n"
      "V1;3;Info;03/04/26 05:06;;(Quillet System); ; ; ;\n");
  ASSERT_EQ(ui.rows.size(), 2u);
  EXPECT_EQ(ui.rows[0].icon, 4);
  EXPECT_EQ(ui.rows[0].size, "Info");
  EXPECT_EQ(ui.rows[0].subject, "Can't connect, to  the server");
  EXPECT_EQ(ui.rows[0].account, "(al,ice)");
  EXPECT_EQ(ui.rows[1].subject, " ");
  EXPECT_EQ(ui.rows[1].sort_key, 1);
  EXPECT_EQ(log.error_count(), 1);
}

TEST_F(HistoryLogTest, TheWindowListIsClearedAtThreeThousandRows) {
  HistoryLog log(ui, clock);
  log.SetPath(dirs().current + "/quillet_.log");
  for (int i = 0; i < 3000; ++i) log.RecordInfo("row", kKindInformation, nullptr);
  EXPECT_EQ(ui.clears, 0);
  log.RecordInfo("row 3001", kKindInformation, nullptr);
  EXPECT_EQ(ui.clears, 1);
  ASSERT_EQ(ui.rows.size(), 2u);
  EXPECT_EQ(ui.rows[0].subject,
            "The history window has been cleared because the number of logs got over 3000.");
  EXPECT_EQ(ui.rows[1].sort_key, 1);
  std::vector<uint8_t> bytes = ReadFile(dirs().current + "/quillet_.log");
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3002);  // the file keeps everything
}

TEST_F(HistoryLogTest, AnUnwritableFileStillShowsTheRow) {
  HistoryLog log(ui, clock);
  WriteFile(root() + "/file", "x");
  log.SetPath(root() + "/file/quillet_.log");
  log.RecordInfo("shown", kKindInformation, nullptr);
  EXPECT_EQ(ui.RowTexts(), (std::vector<std::string>{"shown"}));
}

}  // namespace
}  // namespace quillet
