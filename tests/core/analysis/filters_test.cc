#include "analysis/filters.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/message_fixture.h"
#include "transport/digests.h"

namespace quillet {
namespace {

using testing::LoadMessage;

class FiltersTest : public ::testing::Test {
 protected:
  void Load(const std::string& headers) { LoadMessage(r, headers + "\r\nbody\r\n"); }
  MessageRecord r;
  std::unique_ptr<Account> a = testing::DefaultAccount();
};

TEST_F(FiltersTest, DeliveryFailureNotices) {
  struct Case {
    std::string headers;
    int pass;
  } cases[] = {
      {"Subject: Returned mail: see transcript\r\n", 0},
      {"Subject: RETURNED MAIL: x\r\n", 0},
      {"Subject: Re: Returned mail: x\r\n", 1},
      {"Subject: failure notice\r\n", 0},
      {"Subject: Non delivery notification\r\n", 0},
      {"Subject:Returned mail: no blank\r\n", 1},
      {"Content-Type: multipart/report; report-type=delivery-status\r\nSubject: hi\r\n", 0},
      {"Content-Type: multipart/report\r\nSubject: hi\r\n", 1},
      {"Subject: short\r\n", 1},
      {"To: x\r\n", 1},
  };
  for (const Case& c : cases) {
    Load(c.headers);
    r.resultCode = 0;
    EXPECT_EQ(IsDeliveryFailure(r, *a), c.pass) << c.headers;
    EXPECT_EQ(r.resultCode, c.pass ? 0u : 1u);
  }
  a->no_filter_smtp_errors = 1;
  Load("Subject: Returned mail: x\r\n");
  EXPECT_EQ(IsDeliveryFailure(r, *a), 1);
}

TEST_F(FiltersTest, SenderIsDestinationAndSchedule) {
  SetText(a->forward_to, "me@phone.example  other@x.org");
  Load("From: Me <ME@Phone.Example>\r\n");
  EXPECT_EQ(FromIsDestination(r, *a), 1);  // switched off
  a->skip_from_destination = 1;
  EXPECT_EQ(FromIsDestination(r, *a), 0);
  EXPECT_EQ(r.resultCode, 9u);
  Load("From: someone@else\r\n");
  EXPECT_EQ(FromIsDestination(r, *a), 1);

  a->schedule_enabled = 1;
  a->schedule_hold_mail = 1;
  a->schedule_stop_hours[6] = 1u;  // Sunday 23:00
  std::tm sunday{};
  sunday.tm_wday = 0;
  sunday.tm_hour = 23;
  EXPECT_EQ(ScheduleStop(r, *a, sunday), 0);
  EXPECT_EQ(r.resultCode, 17u);
  std::tm monday{};
  monday.tm_wday = 1;
  monday.tm_hour = 0;
  EXPECT_EQ(ScheduleStop(r, *a, monday), 1);
  a->schedule_hold_mail = 0;  // not held: the account is simply not checked then
  EXPECT_EQ(ScheduleStop(r, *a, sunday), 1);
}

TEST_F(FiltersTest, WordFiltersInBothModes) {
  std::string jis_subject = "=?ISO-2022-JP?B?" + Base64EncodeBytes("\x1B$B$\"$$\x1B(B", 10) + "?=";
  struct Case {
    const char* what;
    std::function<void(Account&)> set;
    std::string headers;
    int pass;
    uint32_t code;
  } cases[] = {
      {"field name as a word matches every From",
       [](Account& x) {
         x.filter_from = 1;
         SetText(x.filter_from_words, "FROM");
       },
       "From: a@b\r\n", 0, 9},
      {"no word matches",
       [](Account& x) {
         x.filter_from = 1;
         SetText(x.filter_from_words, "zzz  yyy");
       },
       "From: a@b\r\n", 1, 0},
      {"a filter that is off never matches", [](Account& x) { SetText(x.filter_cc_words, "a"); },
       "Cc: a@b\r\n", 1, 0},
      {"mode b without any filter rejects", [](Account& x) { x.filter_mode_include = 1; },
       "From: a@b\r\n", 0, 16},
      {"mode b: the To match lets it through although Cc would match too",
       [](Account& x) {
         x.filter_mode_include = 1;
         x.filter_to = 1;
         SetText(x.filter_to_words, "boss");
         x.filter_cc = 1;
         SetText(x.filter_cc_words, "boss");
       },
       "To: boss@x\r\nCc: boss@y\r\n", 1, 0},
      {"quoted phrase matches the whole phrase",
       [](Account& x) {
         x.filter_subject = 1;
         SetText(x.filter_subject_words, "\"big sale\"");
       },
       "Subject: BIG SALE today\r\n", 0, 12},
      {"quoted phrase does not match the words apart",
       [](Account& x) {
         x.filter_subject = 1;
         SetText(x.filter_subject_words, "\"big sale\"");
       },
       "Subject: big and sale\r\n", 1, 0},
      {"unquoted phrase is two words",
       [](Account& x) {
         x.filter_subject = 1;
         SetText(x.filter_subject_words, "big sale");
       },
       "Subject: a sale\r\n", 0, 12},
      {"a Japanese word matches an encoded subject",
       [](Account& x) {
         x.filter_subject = 1;
         SetText(x.filter_subject_words, "\x82\xA2");
       },
       "Subject: " + jis_subject + "\r\n", 0, 12},
      {"X-Mailer, Date and Content-Type",
       [](Account& x) {
         x.filter_timezone = 1;
         SetText(x.filter_timezone_words, "+0900");
       },
       "Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n", 0, 14},
      {"Content-Type filter",
       [](Account& x) {
         x.filter_charset = 1;
         SetText(x.filter_charset_words, "ISO-8859-1");
       },
       "Content-Type: text/plain; charset=iso-8859-1\r\n", 0, 8},
      {"missing To in mode a", [](Account& x) { x.require_to_address = 1; }, "From: a@b\r\n", 0,
       10},
      {"To without @ in mode a", [](Account& x) { x.require_to_address = 1; },
       "To: undisclosed-recipients:;\r\n", 0, 10},
      {"the missing-To rule is not used in mode b",
       [](Account& x) {
         x.require_to_address = 1;
         x.filter_mode_include = 1;
         x.filter_from = 1;
         SetText(x.filter_from_words, "a@b");
       },
       "From: a@b\r\n", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    a = testing::DefaultAccount();
    c.set(*a);
    Load(c.headers);
    r.resultCode = 0;
    EXPECT_EQ(ApplyWordFilters(r, *a), c.pass);
    EXPECT_EQ(r.resultCode, c.code);
  }
}

TEST_F(FiltersTest, OnlyTheFirst400WordsAreUsed) {
  std::string words;
  for (int i = 0; i < 400; ++i) words += "w" + std::to_string(i) + "x ";
  a->filter_from = 1;
  SetText(a->filter_from_words, words + "target");
  Load("From: target@x\r\n");
  EXPECT_EQ(FilterFrom(r, *a), 1);
  SetText(a->filter_from_words, "target " + words);
  EXPECT_EQ(FilterFrom(r, *a), 0);
}

}  // namespace
}  // namespace quillet
