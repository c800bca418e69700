#include "analysis/filters.h"

#include <cstring>
#include <string>

#include "analysis/charset.h"
#include "analysis/string_tests.h"

namespace quillet {
namespace {

// True when `line` contains any word of `list` (case-insensitive substring).
// Plain lists are split at blanks, quoted ones keep "a phrase" together.
bool ContainsAnyWord(const char* line, const char* list, bool quoted) {
  if (line == nullptr || list == nullptr || list[0] == '\0') return false;
  std::string_view text(list, strnlen(list, kWordListLimit));
  if (!quoted) {
    for (const std::string& word : SplitAtBlanks(text, kMaxFilterWords))
      if (FindNoCase(line, word.c_str()) != nullptr) return true;
    return false;
  }
  char buffer[kWordListLimit + 2] = {};
  text.copy(buffer, kWordListLimit);
  char* words[kMaxFilterWords];
  int n = SplitWordList(buffer, sizeof buffer, words, kMaxFilterWords);
  for (int i = 0; i < n; ++i)
    if (words[i][0] != '\0' && FindNoCase(line, words[i]) != nullptr) return true;
  return false;
}

int Reject(MessageRecord& record, uint32_t code) {
  record.resultCode = code;
  return 0;
}

// 1 when the filter is on and matches.
bool Matches(int16_t enabled, const char* line, const char* words, bool quoted) {
  return enabled != 0 && ContainsAnyWord(line, words, quoted);
}

bool SubjectMatches(const MessageRecord& record, const Account& account) {
  if (account.filter_subject == 0 || record.subject == nullptr) return false;
  std::string decoded;
  DecodeHeaderText(record.subject, decoded, true);
  if (decoded.size() > kWordListLimit - 1) decoded.resize(kWordListLimit - 1);
  return ContainsAnyWord(decoded.c_str(), account.filter_subject_words, true);
}

}  // namespace

int IsDeliveryFailure(MessageRecord& record, const Account& account) {
  if (account.no_filter_smtp_errors != 0) return 1;
  if (record.contentType != nullptr &&
      StartsWithSquashed(record.contentType, "content-type:multipart/report;") != nullptr)
    return Reject(record, kResultNotForwarded);
  if (record.subject == nullptr || std::strlen(record.subject) <= 9) return 1;
  static const char* const kPhrases[] = {
      "returned mail:",           "mail system error", "warning: could not send message",
      "delivery failure",         "failure delivery",  "failure notice",
      "non delivery notification"};
  for (const char* phrase : kPhrases)
    if (StartsWithNoCase(record.subject + 9, phrase) != nullptr)
      return Reject(record, kResultNotForwarded);
  return 1;
}

int FromIsDestination(MessageRecord& record, const Account& account) {
  if (account.skip_from_destination == 0 || record.from == nullptr) return 1;
  for (const std::string& address : SplitAtBlanks(GetText(account.forward_to), 10))
    if (FindNoCase(record.from, address.c_str()) != nullptr)
      return Reject(record, kResultFilteredFrom);
  return 1;
}

int ScheduleStop(MessageRecord& record, const Account& account, const std::tm& now) {
  if (account.schedule_enabled == 0 || account.schedule_hold_mail == 0) return 1;
  int day = (now.tm_wday + 6) % 7;
  int hour = now.tm_hour < 0 ? 0 : (now.tm_hour > 23 ? 23 : now.tm_hour);
  if ((account.schedule_stop_hours[day] >> (23 - hour) & 1u) != 0)
    return Reject(record, kResultStopHour);
  return 1;
}

int FilterFrom(MessageRecord& record, const Account& account) {
  return Matches(account.filter_from, record.from, account.filter_from_words, false)
             ? Reject(record, kResultFilteredFrom)
             : 1;
}

int FilterTo(MessageRecord& record, const Account& account) {
  if (account.filter_mode_include == 0 && account.require_to_address != 0 &&
      (record.to == nullptr || std::strchr(record.to, '@') == nullptr))
    return Reject(record, kResultFilteredTo);
  return Matches(account.filter_to, record.to, account.filter_to_words, false)
             ? Reject(record, kResultFilteredTo)
             : 1;
}

int FilterCc(MessageRecord& record, const Account& account) {
  return Matches(account.filter_cc, record.cc, account.filter_cc_words, false)
             ? Reject(record, kResultFilteredCc)
             : 1;
}

int FilterSubject(MessageRecord& record, const Account& account) {
  return SubjectMatches(record, account) ? Reject(record, kResultFilteredSubject) : 1;
}

int FilterXMailer(MessageRecord& record, const Account& account) {
  return Matches(account.filter_mailer, record.xMailer, account.filter_mailer_words, true)
             ? Reject(record, kResultFilteredMailer)
             : 1;
}

int FilterDate(MessageRecord& record, const Account& account) {
  return Matches(account.filter_timezone, record.date, account.filter_timezone_words, false)
             ? Reject(record, kResultFilteredDate)
             : 1;
}

int FilterContentType(MessageRecord& record, const Account& account) {
  return Matches(account.filter_charset, record.contentType, account.filter_charset_words, false)
             ? Reject(record, kResultFilteredContentType)
             : 1;
}

int ApplyWordFilters(MessageRecord& record, const Account& account) {
  using Filter = int (*)(MessageRecord&, const Account&);
  static const Filter kFilters[] = {FilterFrom,    FilterTo,   FilterCc,         FilterSubject,
                                    FilterXMailer, FilterDate, FilterContentType};
  bool include = account.filter_mode_include != 0;
  for (Filter f : kFilters) {
    if (f(record, account) == 1) continue;
    if (!include) return 0;
    record.resultCode = kResultForwarded;  // mode b: one match lets the mail through
    return 1;
  }
  if (!include) return 1;
  return Reject(record, kResultNoMatch);
}

}  // namespace quillet
