#include "store/settings_text.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillet {
namespace {

std::unique_ptr<Settings> Defaults() {
  auto s = std::make_unique<Settings>();
  ApplyDefaults(*s, ScreenSize{});
  ApplyFixUps(*s, ScreenSize{});
  return s;
}

TEST(SettingsText, ExportListsEveryFieldInFileOrderAsPlainAscii) {
  auto s = Defaults();
  SetText(s->accounts[0].account_name, "Caf\xE9 \"quote\" back\\slash\ttab");
  s->accounts[0].schedule_stop_hours[1] = 0x800001;
  std::string text = ExportSettingsText(*s);
  for (unsigned char c : text) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F));
  EXPECT_EQ(text.rfind("[global]\nmagic = \"QUILLETS_V300\"\n"
                       "history_column_widths = 100 100 120 250 120 120\n"
                       "window_width = 825\n",
                       0),
            0u);
  EXPECT_NE(text.find("\n[account.0]\nsmtp_server = \"\"\nsmtp_auth = 0\n"), std::string::npos);
  EXPECT_NE(text.find("account_name = \"Caf\\xE9 \\\"quote\\\" back\\\\slash\\x09tab\"\n"),
            std::string::npos);
  EXPECT_NE(text.find("schedule_stop_hours = 0x000000 0x800001 0x000000"), std::string::npos);
  EXPECT_EQ(text.find("reserved"), std::string::npos);
  size_t fields = 0;
  for (const FieldInfo& f : GlobalFields()) fields += f.type != FieldType::kReserved;
  for (const FieldInfo& f : AccountFields()) fields += 10 * (f.type != FieldType::kReserved);
  EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '=')), fields);
}

TEST(SettingsText, ImportRoundTripsTheExport) {
  auto s = Defaults();
  SetText(s->accounts[4].filter_subject_words, "\"win big\" \x82\xA0\x82\xA2 ;#=[x]");
  s->accounts[4].size_limit_kb = -3;
  s->global.history_column_widths[5] = -1;
  s->accounts[4].pop3_port = static_cast<int16_t>(50995);  // ports read as unsigned
  std::string text = ExportSettingsText(*s);
  auto t = Defaults();
  std::string error;
  ASSERT_TRUE(ImportSettingsText(text, *t, error)) << error;
  EXPECT_EQ(ExportSettingsText(*t), text);
  EXPECT_NE(text.find("pop3_port = 50995\n"), std::string::npos);
  EXPECT_EQ(static_cast<uint16_t>(t->accounts[4].pop3_port), 50995);
  EXPECT_STREQ(t->accounts[4].filter_subject_words, "\"win big\" \x82\xA0\x82\xA2 ;#=[x]");
}

TEST(SettingsText, ImportAppliesASubsetInAnyOrder) {
  auto s = Defaults();
  std::string error;
  ASSERT_TRUE(
      ImportSettingsText("# comment\n\n[account.2]\r\nenabled = 1\n"
                         "  pop3_user   =   \"bob\"  \n[global]\nconfirm_quit=1\n"
                         "[account.2]\nschedule_stop_hours = 0xFF 1 2 3 4 5 0xffffff\n",
                         *s, error))
      << error;
  EXPECT_EQ(s->accounts[2].enabled, 1);
  EXPECT_STREQ(s->accounts[2].pop3_user, "bob");
  EXPECT_EQ(s->global.confirm_quit, 1);
  EXPECT_EQ(s->accounts[2].schedule_stop_hours[0], 0xFFu);
  EXPECT_EQ(s->accounts[2].schedule_stop_hours[6], 0xFFFFFFu);
  EXPECT_EQ(s->accounts[2].pop3_port, 110);  // untouched fields keep their values
}

TEST(SettingsText, ImportRejectsBadLinesAndChangesNothing) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"[global]\nconfirm_quit = 1\nwatchdog\n", "line 3: expected"},
      {"[account.10]\n", "line 1: unknown section [account.10]"},
      {"[accounts]\n", "line 1: unknown section"},
      {"confirm_quit = 1\n", "line 1: a field before the first [section]"},
      {"[global]\nno_such_field = 1\n", "line 2: unknown field no_such_field"},
      {"[global]\nreserved_96 = 1\n", "line 2: unknown field reserved_96"},
      {"[account.0]\nsmtp_port = 70000\n", "line 2: smtp_port takes a port number from 0 to 65535"},
      {"[account.0]\ncheck_interval_minutes = 40000\n", "line 2: check_interval_minutes takes"},
      {"[account.0]\nenabled = -1\n", "line 2: enabled takes a whole number from 0 to 255"},
      {"[account.0]\nsmtp_port = 12abc\n", "line 2:"},
      {"[account.0]\npop3_user = bob\n", "line 2: a text must be enclosed"},
      {"[account.0]\npop3_user = \"b\\qob\"\n", "line 2: unknown escape"},
      {"[account.0]\npop3_user = \"a\\x00\"\n", "line 2: a text cannot hold"},
      {"[account.0]\nschedule_stop_hours = 1 2 3\n", "line 2: schedule_stop_hours takes seven"},
      {"[global]\nhistory_column_widths = 1 2 3 4 5 x\n", "line 2: history_column_widths"},
  };
  for (const Case& c : cases) {
    auto s = Defaults();
    std::string before = ExportSettingsText(*s);
    std::string error;
    EXPECT_FALSE(ImportSettingsText(c.text, *s, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    EXPECT_EQ(ExportSettingsText(*s), before);
  }
}

TEST(SettingsText, TextLimitsAreTheFieldLimits) {
  struct Case {
    const char* field;
    size_t limit;
  } cases[] = {{"mail_address", 63}, {"pop3_user", 63},           {"account_name", 253},
               {"smtp_server", 255}, {"citation_prefixes", 1023}, {"filter_to_words", 4096}};
  for (const Case& c : cases) {
    auto s = Defaults();
    std::string error;
    std::string ok =
        "[account.1]\n" + std::string(c.field) + " = \"" + std::string(c.limit, 'a') + "\"\n";
    EXPECT_TRUE(ImportSettingsText(ok, *s, error)) << c.field << ": " << error;
    std::string too_long =
        "[account.1]\n" + std::string(c.field) + " = \"" + std::string(c.limit + 1, 'a') + "\"\n";
    EXPECT_FALSE(ImportSettingsText(too_long, *s, error)) << c.field;
    EXPECT_EQ(error.rfind("line 2: text of", 0), 0u) << error;
  }
  auto s = Defaults();
  std::string error;
  EXPECT_FALSE(ImportSettingsText("[global]\nstartup_password = \"12345678901\"\n", *s, error));
}

}  // namespace
}  // namespace quillet
