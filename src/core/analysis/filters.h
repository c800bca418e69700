#pragma once

#include <ctime>

#include "analysis/message_record.h"
#include "store/settings.h"

namespace quillet {

inline constexpr int kMaxFilterWords = 400;
inline constexpr size_t kWordListLimit = 4096;

// Each test returns 1 to go on and 0 to reject, with resultCode set.
int IsDeliveryFailure(MessageRecord& record, const Account& account);
int FromIsDestination(MessageRecord& record, const Account& account);
int ScheduleStop(MessageRecord& record, const Account& account, const std::tm& now);
int FilterFrom(MessageRecord& record, const Account& account);
int FilterTo(MessageRecord& record, const Account& account);
int FilterCc(MessageRecord& record, const Account& account);
int FilterSubject(MessageRecord& record, const Account& account);
int FilterXMailer(MessageRecord& record, const Account& account);
int FilterDate(MessageRecord& record, const Account& account);
int FilterContentType(MessageRecord& record, const Account& account);
// The seven word filters as a deny list (mode a) or an allow list (mode b).
int ApplyWordFilters(MessageRecord& record, const Account& account);

}  // namespace quillet
