#pragma once

#include <ctime>
#include <string>

#include "analysis/message_record.h"
#include "store/settings.h"

namespace quillet {

// The duplicate test against the history log.
class DuplicateCheck {
 public:
  virtual ~DuplicateCheck() = default;
  // True when the mail is to be processed; false (resultCode 5) when it was
  // forwarded before.
  virtual bool IsAlreadyForwarded(MessageRecord& record, const Account& account) = 0;
};

// What the analysis needs besides the message and the account.
struct AnalysisContext {
  std::tm now{};                         // local time, for the schedule
  DuplicateCheck* duplicates = nullptr;  // none: no duplicate test
};

// Decides whether the message is forwarded and rewrites its body in place.
// 1: forward; 0: not, resultCode says why.
int AnalyseMessage(MessageRecord& record, const Account& account, const AnalysisContext& context);
int ProcessSinglePart(MessageRecord& record, const Account& account);
int ProcessMultipart(MessageRecord& record, const Account& account);
int CollectBoundaries(MessageRecord& record);
void ScanParts(MessageRecord& record);
int BuildMultipartBody(MessageRecord& record, const Account& account, std::string& out);
int HasVisibleText(const char* text);

}  // namespace quillet
