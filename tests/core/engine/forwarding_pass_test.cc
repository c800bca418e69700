#include <gtest/gtest.h>

#include <memory>

#include "engine/engine.h"
#include "fake_protocols.h"
#include "support/fake_clock.h"
#include "support/recording_ui.h"
#include "support/sandbox.h"

namespace quillet {
namespace {

using testing::FakeClock;
using testing::FakeProcessor;
using testing::FakeProtocols;
using testing::RecordingUi;

class ForwardingPassTest : public testing::FakeEngineTest {
 protected:
  void Mail(int k, std::vector<std::string> uids) {
    for (const std::string& uid : uids)
      protocols->boxes[k].messages.push_back({uid, "body of " + uid});
  }
  std::vector<std::string> StoredUids(int k) {
    std::vector<std::string> out;
    const MailboxState& st = engine->mailbox(k);
    for (int i = 0; i < st.uid_count; ++i) out.push_back(st.uid_records[i].text);
    return out;
  }
  static std::vector<std::string> Bodies(std::vector<std::string> uids) {
    for (std::string& u : uids) u = "body of " + u;
    return uids;
  }
};

TEST_F(ForwardingPassTest, DueAccountsByTickAndIntervalInIndexOrder) {
  Configure(0, "five").check_interval_minutes = 5;
  Configure(1, "one").check_interval_minutes = 1;
  Configure(2, "two").check_interval_minutes = 2;
  engine->ExecuteCommand(kCommandTick);  // before any start-up run: nothing
  EXPECT_TRUE(protocols->calls.empty());
  EXPECT_EQ(engine->tick_counter, 0);

  engine->ExecuteCommand(kCommandStartForwarding);
  EXPECT_EQ(engine->started, 1);
  protocols->calls.clear();
  for (int i = 0; i < 15; ++i) engine->ExecuteCommand(kCommandTick);
  std::vector<std::string> opens = protocols->CallsStartingWith("pop-open 0");
  EXPECT_EQ(opens, (std::vector<std::string>{"pop-open 0 tick 5", "pop-open 0 tick 10",
                                             "pop-open 0 tick 15"}));
  EXPECT_EQ(protocols->CallsStartingWith("pop-open 1").size(), 15u);
  EXPECT_EQ(protocols->CallsStartingWith("pop-open 2").size(), 7u);
  std::vector<std::string> all = protocols->CallsStartingWith("pop-open");
  auto at10 = std::find(all.begin(), all.end(), "pop-open 0 tick 10");
  ASSERT_NE(at10, all.end());
  EXPECT_EQ(*(at10 + 1), "pop-open 1 tick 10");
  EXPECT_EQ(*(at10 + 2), "pop-open 2 tick 10");
  EXPECT_EQ(engine->connection_count, 15 + 7 + 3 + 3);  // ticks plus the start-up passes

  // "Start forwarding" counts the intervals again from that moment.
  engine->ExecuteCommand(kCommandStartForwarding);
  EXPECT_EQ(engine->tick_counter, 0);
  protocols->calls.clear();
  for (int i = 0; i < 4; ++i) engine->ExecuteCommand(kCommandTick);
  EXPECT_TRUE(protocols->CallsStartingWith("pop-open 0").empty());
}

TEST_F(ForwardingPassTest, ScheduleStopsTheHoursWhoseBitIsSet) {
  Account& a = Configure(0, "alice");
  a.schedule_enabled = 1;
  struct Case {
    int day;  // December 2026: the 7th is a Monday, the 13th a Sunday
    int hour, minute;
    int word;
    uint32_t bit;
    int hold;
  } cases[] = {
      {7, 0, 30, 0, 1u << 23, 0},
      {13, 23, 30, 6, 1u << 0, 0},
      {9, 12, 0, 2, 1u << 11, 0},
      {7, 0, 30, 0, 1u << 23, 1},  // held mail: the account is checked in every hour
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.day * 100 + c.hour);
    clock.SetLocalTime(2026, 12, c.day, c.hour, c.minute);
    a.schedule_hold_mail = static_cast<int16_t>(c.hold);
    std::fill(std::begin(a.schedule_stop_hours), std::end(a.schedule_stop_hours), 0u);
    EXPECT_EQ(engine->IsAccountDue(a), 1);
    a.schedule_stop_hours[c.word] = c.bit;
    EXPECT_EQ(engine->IsAccountDue(a), c.hold ? 1 : 0);
    a.schedule_stop_hours[c.word] = ~c.bit;  // every other hour stopped
    EXPECT_EQ(engine->IsAccountDue(a), 1);
  }
  a.schedule_enabled = 0;
  a.schedule_stop_hours[0] = 0xFFFFFF;
  EXPECT_EQ(engine->IsAccountDue(a), 1);
}

TEST_F(ForwardingPassTest, StoppedAccountIsNotCheckedOnItsTick) {
  Account& a = Configure(0, "alice");
  a.check_interval_minutes = 1;
  a.schedule_enabled = 1;
  engine->started = 1;
  clock.SetLocalTime(2026, 12, 8, 9, 15);  // Tuesday
  a.schedule_stop_hours[1] = 1u << (23 - 9);
  engine->ExecuteCommand(kCommandTick);
  EXPECT_TRUE(protocols->calls.empty());
  clock.SetLocalTime(2026, 12, 8, 10, 0);
  engine->ExecuteCommand(kCommandTick);
  EXPECT_EQ(protocols->CallsStartingWith("pop-open").size(), 1u);
}

TEST_F(ForwardingPassTest, UidlModeForwardsOnlyUnknownMailAndStoresTheListing) {
  Configure(0, "alice");
  Mail(0, {"a", "b", "c"});
  FakeProtocols::SetUid(engine->mailbox(0), 0, "b");
  engine->mailbox(0).uid_count = 1;
  engine->RunAccountPass(0);
  EXPECT_EQ(processor->seen, Bodies({"a", "c"}));
  EXPECT_EQ(StoredUids(0), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(engine->mailbox(0).first_index, 0);
  EXPECT_EQ(ui.StatusTexts().back(), "Waiting... ");
  EXPECT_EQ(engine->pass_results[0], 0);
  EXPECT_EQ(engine->pass_results[1], kNotHandled);
  EXPECT_EQ(engine->pass_results[2], 0);
  EXPECT_FALSE(Exists(engine->TempMessagePath(1)));
  EXPECT_FALSE(Exists(engine->TempMessagePath(3)));
  EXPECT_EQ(protocols->CallsStartingWith("close 0").size(), 1u);  // closed before processing

  // A second pass finds nothing new.
  processor->seen.clear();
  engine->RunAccountPass(0);
  EXPECT_TRUE(processor->seen.empty());

  // An empty mailbox forgets every stored ID.
  protocols->boxes[0].messages.clear();
  engine->RunAccountPass(0);
  EXPECT_EQ(engine->mailbox(0).uid_count, 0);
  EXPECT_TRUE(protocols->CallsStartingWith("retrieve").size() == 2u);
}

TEST_F(ForwardingPassTest, PositionModeRemembersHowFarItGot) {
  Configure(0, "alice").no_uidl = 1;
  Mail(0, {"a", "b", "c"});
  engine->mailbox(0).first_index = 2;
  engine->RunAccountPass(0);
  EXPECT_EQ(processor->seen, Bodies({"c"}));
  EXPECT_EQ(engine->mailbox(0).first_index, 3);

  // Nothing new: no retrieval at all.
  engine->RunAccountPass(0);
  EXPECT_EQ(protocols->CallsStartingWith("retrieve").size(), 1u);

  // Another client removed mail: the whole mailbox is scanned again.
  protocols->boxes[0].messages.resize(1);
  processor->seen.clear();
  engine->RunAccountPass(0);
  EXPECT_EQ(processor->seen, Bodies({"a"}));
  EXPECT_EQ(ui.RowTexts().back(), "The status of the mailbox has been updated. Scan all mails. ");
  EXPECT_EQ(engine->mailbox(0).first_index, 1);
}

TEST_F(ForwardingPassTest, ReverseOrderHandlesTheLastMessageFirst) {
  Configure(0, "alice").pop_reverse_order = 1;
  Mail(0, {"1", "2", "3", "4", "5"});
  processor->hook = [this] {
    engine->message.resultCode = engine->message.messageIndex == 4 ? 7 : 0;
  };
  engine->RunAccountPass(0);
  EXPECT_EQ(processor->indexes, (std::vector<uint32_t>{4, 3, 2, 1, 0}));
  EXPECT_EQ(processor->seen, Bodies({"5", "4", "3", "2", "1"}));
  EXPECT_EQ(engine->pass_results[0], 7);  // the last message's result lands at position 0
  EXPECT_EQ(engine->pass_results[4], 0);
}

TEST_F(ForwardingPassTest, FailureOnTheThirdOfFiveRetriesTheRestOnTheNextPass) {
  for (int reverse = 0; reverse <= 1; ++reverse) {
    SCOPED_TRACE(reverse);
    Account& a = Configure(0, "alice");
    a.pop_reverse_order = static_cast<int16_t>(reverse);
    a.delete_after_forward = 1;
    protocols->boxes[0].messages.clear();
    engine->mailbox(0).uid_count = 0;
    Mail(0, {"m1", "m2", "m3", "m4", "m5"});
    std::vector<std::string> order = reverse
                                         ? std::vector<std::string>{"m5", "m4", "m3", "m2", "m1"}
                                         : std::vector<std::string>{"m1", "m2", "m3", "m4", "m5"};
    processor->seen.clear();
    processor->failing = {"body of " + order[2]};
    protocols->calls.clear();
    ui.statuses.clear();

    engine->RunAccountPass(0);
    EXPECT_EQ(processor->seen, Bodies({order[0], order[1], order[2]}));
    EXPECT_TRUE(protocols->CallsStartingWith("delete-forwarded").empty());
    EXPECT_TRUE(ui.StatusTexts().empty() || ui.StatusTexts().back() != "Waiting... ");
    std::vector<std::string> stored = StoredUids(0);
    for (int i = 0; i < 5; ++i) {
      bool done = stored[i] == order[0] || stored[i] == order[1];
      bool kept = !stored[i].empty();
      EXPECT_EQ(kept, done) << "slot " << i << " holds '" << stored[i] << "'";
    }

    processor->seen.clear();
    processor->failing.clear();
    engine->RunAccountPass(0);
    EXPECT_EQ(processor->seen, Bodies({order[2], order[3], order[4]}));
    EXPECT_EQ(protocols->CallsStartingWith("delete-forwarded").size(), 1u);
  }
}

TEST_F(ForwardingPassTest, PositionModeFailureKeepsTheWindow) {
  Configure(0, "alice").no_uidl = 1;
  Mail(0, {"a", "b", "c"});
  processor->failing = {"body of b"};
  engine->RunAccountPass(0);
  EXPECT_EQ(engine->mailbox(0).first_index, 0);
  processor->failing.clear();
  processor->seen.clear();
  engine->RunAccountPass(0);
  EXPECT_EQ(processor->seen, Bodies({"a", "b", "c"}));
  EXPECT_EQ(engine->mailbox(0).first_index, 3);
}

TEST_F(ForwardingPassTest, MissingTemporaryFileEndsThePassAndKeepsTheMailNew) {
  Configure(0, "alice");
  Mail(0, {"a", "b", "c"});
  protocols->boxes[0].skip_file_of = true;
  protocols->boxes[0].skipped_number = 2;
  engine->RunAccountPass(0);
  EXPECT_EQ(processor->seen, Bodies({"a"}));
  EXPECT_EQ(ui.RowTexts().back(), "Error: Cannot open or allocate temporary file");
  EXPECT_EQ(ui.rows.back().icon, 4);
  EXPECT_EQ(ui.rows.back().account, " ");
  EXPECT_EQ(StoredUids(0), (std::vector<std::string>{"a", "", ""}));
  EXPECT_TRUE(Exists(engine->TempMessagePath(3)));  // left for the next pass to overwrite

  protocols->boxes[0].skip_file_of = false;
  processor->seen.clear();
  engine->RunAccountPass(0);
  EXPECT_EQ(processor->seen, Bodies({"b", "c"}));
}

TEST_F(ForwardingPassTest, RetrievalOrLoginFailureHandlesNothing) {
  Configure(0, "alice");
  Mail(0, {"a"});
  protocols->boxes[0].fail_retrieve = true;
  engine->RunAccountPass(0);
  EXPECT_TRUE(processor->seen.empty());
  EXPECT_EQ(protocols->CallsStartingWith("drop 0").size(), 1u);
  EXPECT_EQ(engine->mailbox(0).uid_count, 0);

  protocols->boxes[0].refuse_login = true;
  engine->RunAccountPass(0);
  EXPECT_EQ(ui.StatusTexts().back(), "ERROR: OpenRcvSession.");
  EXPECT_EQ(ui.rows.back().subject, "Can't connect to the POP server");
  EXPECT_EQ(ui.rows.back().account, "(alice)");
  EXPECT_EQ(engine->connection_count, 2);
}

TEST_F(ForwardingPassTest, DeletionFollowsTheFlagsAndSeesThePassResults) {
  Account& a = Configure(0, "alice");
  Mail(0, {"a", "b", "c"});
  FakeProtocols::SetUid(engine->mailbox(0), 0, "a");
  engine->mailbox(0).uid_count = 1;
  processor->result_code = 12;
  engine->RunAccountPass(0);
  EXPECT_TRUE(protocols->CallsStartingWith("delete-forwarded").empty());  // flag off

  a.delete_after_forward = 1;
  protocols->boxes[0].messages.push_back({"d", "body of d"});
  processor->result_code = 7;
  engine->RunAccountPass(0);
  ASSERT_EQ(protocols->CallsStartingWith("delete-forwarded").size(), 1u);
  EXPECT_EQ(protocols->deleted_results,
            (std::vector<uint16_t>{kNotHandled, kNotHandled, kNotHandled, 7}));

  protocols->boxes[0].messages.clear();  // empty mailbox: nothing to delete
  engine->RunAccountPass(0);
  EXPECT_EQ(protocols->CallsStartingWith("delete-forwarded").size(), 1u);
}

TEST_F(ForwardingPassTest, StartupReportsTheMailboxAndForwards) {
  Configure(0, "alice");
  Mail(0, {"a", "b"});
  engine->ExecuteCommand(kCommandStartForwarding);
  EXPECT_EQ(engine->started, 1);
  EXPECT_EQ(ui.RowTexts(),
            (std::vector<std::string>{"Starting up : 2 mail(s) left in your mailbox. ",
                                      "POP3/SMTP connection completed successfully."}));
  EXPECT_EQ(processor->seen, Bodies({"a", "b"}));
  EXPECT_EQ(ui.redraws, 1);
  std::vector<std::string> expected = {"pop-open 0 tick 0", "close 0",     "smtp-open 0",
                                       "smtp-greet 0",      "smtp-rset 0", "close 0",
                                       "pop-open 0 tick 0", "retrieve 0",  "close 0"};
  EXPECT_EQ(protocols->calls, expected);
  // The UIDL store is saved after every command.
  EXPECT_EQ(ReadFile(engine->paths.UidlStorePath()).size(), 2949176u);
}

TEST_F(ForwardingPassTest, StartupWithSkipMarksPresentMailAsHandled) {
  Account& a = Configure(0, "alice");
  a.skip_existing_at_startup = 1;
  Mail(0, {"a", "b"});
  engine->ExecuteCommand(kCommandStartForwarding);
  EXPECT_EQ(ui.RowTexts().front(), "Starting up : remaining 2 mail(s) are not forwarded.");
  EXPECT_TRUE(processor->seen.empty());
  EXPECT_EQ(StoredUids(0), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ui.StatusTexts().back(), "Waiting... ");

  // The first tick forwards only what came later.
  Mail(0, {"c"});
  a.check_interval_minutes = 1;
  engine->ExecuteCommand(kCommandTick);
  EXPECT_EQ(processor->seen, Bodies({"c"}));

  // Position mode remembers the count instead.
  Account& b = Configure(1, "bob");
  b.skip_existing_at_startup = 1;
  b.no_uidl = 1;
  Mail(1, {"x", "y", "z"});
  engine->RunAccountStartup(1);
  EXPECT_EQ(engine->mailbox(1).first_index, 3);
  EXPECT_TRUE(protocols->CallsStartingWith("snapshot 1").empty());
}

TEST_F(ForwardingPassTest, ASingleRunSkipsPresentMailOnlyForAnAccountWithoutStoredIds) {
  engine->single_run = true;
  Account& a = Configure(0, "alice");
  a.skip_existing_at_startup = 1;
  Mail(0, {"a", "b"});
  engine->RunAccountStartup(0);  // the first run: the mail present is marked as handled
  EXPECT_TRUE(processor->seen.empty());
  EXPECT_EQ(StoredUids(0), (std::vector<std::string>{"a", "b"}));
  Mail(0, {"c"});
  engine->RunAccountStartup(0);  // a later run forwards what came since
  EXPECT_EQ(processor->seen, Bodies({"c"}));
}

TEST_F(ForwardingPassTest, StartupNamesTheLogins) {
  struct Case {
    int apop, auth;
    const char* text;
  } cases[] = {{1, 1, "APOP/SSMTP connection completed successfully."},
               {1, 0, "APOP/SMTP connection completed successfully."},
               {0, 1, "POP3/SSMTP connection completed successfully."},
               {0, 0, "POP3/SMTP connection completed successfully."}};
  for (const Case& c : cases) {
    Account& a = Configure(0, "alice");
    a.use_apop = static_cast<int16_t>(c.apop);
    a.smtp_auth = static_cast<int16_t>(c.auth);
    engine->RunAccountStartup(0);
    EXPECT_EQ(ui.RowTexts().back(), c.text);
  }
  EXPECT_EQ(ui.RowTexts().size(), 4u);  // an empty mailbox gets no note
}

TEST_F(ForwardingPassTest, StartupFailuresAreReportedAndTheRunStillStarts) {
  Configure(0, "alice");
  Configure(1, "bob");
  protocols->boxes[0].refuse_login = true;
  protocols->boxes[1].refuse_relay = true;
  engine->ExecuteCommand(kCommandStartForwarding);
  EXPECT_EQ(engine->started, 1);
  EXPECT_EQ(ui.RowTexts(), (std::vector<std::string>{"Can't connect to the POP server",
                                                     "Can't connect to the SMTP server"}));
  EXPECT_EQ(ui.StatusTexts(),
            (std::vector<std::string>{"ERROR: OpenRcvSession.", "ERROR: OpenSendSession."}));
  EXPECT_EQ(ui.beeps.size(), 2u);
  EXPECT_TRUE(protocols->CallsStartingWith("retrieve").empty());
}

TEST_F(ForwardingPassTest, RefusedStartupShowsWhyAndStartsNothing) {
  engine->ExecuteCommand(kCommandStartForwarding);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "There is no available account.");
  EXPECT_EQ(ui.messages[0].caption, "ALERT");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::kExclamation);
  EXPECT_TRUE(engine->startup_refused);

  Configure(1, "bob");
  Account& c = Configure(3, "");
  c.pop3_user[0] = '\0';
  engine->ExecuteCommand(kCommandStartForwarding);
  EXPECT_EQ(ui.messages.back().text, "Wrong account settings.\nAccount(3)");
  EXPECT_EQ(engine->started, 0);
  EXPECT_TRUE(protocols->calls.empty());
}

TEST_F(ForwardingPassTest, StartupTimerCommandAndTrayOption) {
  Configure(0, "alice");
  engine->settings.global.tray_at_startup = 1;
  engine->ExecuteCommand(kCommandStartupTimer);
  EXPECT_EQ(ui.startup_timer_kills, 1);
  EXPECT_EQ(ui.tray, 1);

  engine->account(0).enabled = 0;  // refused run: stays in the window
  engine->started = 0;
  engine->ExecuteCommand(kCommandStartForwarding);
  EXPECT_EQ(ui.tray, 1);
}

TEST_F(ForwardingPassTest, QuitMenuItemIsGreyWhileACommandRuns) {
  engine->ExecuteCommand(kCommandTick);
  EXPECT_EQ(ui.menu, (std::vector<std::pair<int, bool>>{{40015, false}, {40015, true}}));
  EXPECT_EQ(engine->working, 0);
  EXPECT_EQ(engine->busy, 0);
}

TEST_F(ForwardingPassTest, DeleteAllOnQuitAsksAndSkipsAccountsThatDeleteThemselves) {
  Configure(0, "alice");
  Configure(1, "bob").delete_after_forward = 1;
  Configure(2, "carol");
  Configure(3, "dave").enabled = 0;
  for (int k : {0, 1, 3}) engine->mailbox(k).message_count = 4;
  engine->settings.global.delete_all_on_quit = 1;

  engine->DeleteAllOnQuit();  // never started: nothing
  EXPECT_TRUE(ui.messages.empty());

  engine->started = 1;
  ui.answer = MessageAnswer::kNo;
  engine->DeleteAllOnQuit();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Delete all incoming mails on the mailbox of all accounts?");
  EXPECT_EQ(ui.messages[0].caption, "Confirmation");
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::kYesNo);
  EXPECT_TRUE(protocols->calls.empty());

  ui.answer = MessageAnswer::kYes;
  engine->DeleteAllOnQuit();
  EXPECT_EQ(protocols->calls, (std::vector<std::string>{"delete-all 0"}));
  EXPECT_EQ(ui.RowTexts(),
            (std::vector<std::string>{"The incoming mails on the mailbox have been deleted."}));

  engine->settings.global.delete_on_quit_immediately = 1;
  engine->DeleteAllOnQuit();
  EXPECT_EQ(ui.messages.size(), 2u);  // not asked again
  EXPECT_EQ(protocols->calls.size(), 2u);
}

TEST_F(ForwardingPassTest, LoadMessageFileSizesTheBufferAndRejectsEmptyFiles) {
  struct Case {
    size_t size, capacity;
  } cases[] = {{1, 1048576},       {524287, 1048576},  {524288, 1048576}, {600000, 1200000},
               {1048575, 2097150}, {1048576, 2097152}, {3000000, 4048576}};
  for (const Case& c : cases) EXPECT_EQ(MessageBufferCapacity(c.size), c.capacity) << c.size;

  std::string path = engine->TempMessagePath(1);
  WriteFile(path, "Subject: hi\r\n\r\nbody\r\n.\r\n");
  ASSERT_EQ(engine->LoadMessageFile(path), 1);
  EXPECT_EQ(engine->message.fileSize, 24);
  EXPECT_EQ(engine->message.capacity, 1048576u);
  EXPECT_STREQ(engine->message.text, "Subject: hi\r\n\r\nbody\r\n.\r\n");
  engine->FreeMessageFile();
  EXPECT_EQ(engine->message.text, nullptr);

  WriteFile(path, "");
  EXPECT_EQ(engine->LoadMessageFile(path), 0);
  EXPECT_EQ(engine->LoadMessageFile(engine->TempMessagePath(77)), 0);
  EXPECT_EQ(ui.RowTexts(),
            (std::vector<std::string>(2, "Error: Cannot open or allocate temporary file")));
}

TEST_F(ForwardingPassTest, ZeroIntervalFromADamagedFileIsCheckedEveryTick) {
  Configure(0, "alice").check_interval_minutes = 0;
  engine->started = 1;
  engine->ExecuteCommand(kCommandTick);
  EXPECT_EQ(protocols->CallsStartingWith("pop-open").size(), 1u);
}

}  // namespace
}  // namespace quillet
