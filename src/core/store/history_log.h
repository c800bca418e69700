#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "analysis/message_record.h"
#include "analysis/mime_walker.h"
#include "engine/ui_port.h"
#include "platform/clock.h"
#include "store/settings.h"

namespace quillet {

inline constexpr int kHistoryWindowRows = 3000;
inline constexpr int kKindInformation = 3;
inline constexpr int kKindError = 4;

// TAB, LF and CR become blanks and ";" becomes "," so a field never breaks a record.
void SanitiseField(std::string& text);

// The length of a file in bytes, 0 when it cannot be opened.
long long FileSize(const std::string& path);

// The history file and the rows of the window's history list.
class HistoryLog final : public DuplicateCheck {
 public:
  HistoryLog(UiPort& ui, Clock& clock) : ui_(ui), clock_(clock) {}
  void SetPath(std::string path) { path_ = std::move(path); }
  const std::string& path() const { return path_; }
  void SetSettings(const GlobalSettings* settings) { settings_ = settings; }

  // Records an event of kind 3 (information) or 4 (error), for an account or none.
  void RecordInfo(std::string_view text, int kind, const Account* account);
  // Records a handled mail with its result code and the account's stored ID count.
  void RecordMail(const MessageRecord& record, const Account& account, int uid_count);
  // The duplicate test: false (resultCode 5) when the Message-ID is already
  // recorded for this account (or any account, when so set).
  bool IsAlreadyForwarded(MessageRecord& record, const Account& account) override;
  // Keeps the newer half of the file when it holds more records than allowed.
  void HalveHistory();

  int row_counter() const { return row_counter_; }
  // Number of error records (kind 4) written since start-up.
  int error_count() const { return error_count_; }

 private:
  HistoryRow InfoRow(std::string_view text, int kind, const Account* account, std::string& line);
  // Numbers the row, writes the line, then shows the row (clearing the list
  // first when it is full).
  void Publish(HistoryRow row, const std::string& line, const Account* account);
  void Append(const std::string& line);
  // Keeps the newer half of the file; the count kept, or -1 when nothing changed.
  long long HalveFile();

  UiPort& ui_;
  Clock& clock_;
  std::string path_;
  const GlobalSettings* settings_ = nullptr;
  std::mutex mutex_;
  int row_counter_ = 0;
  std::atomic<int> error_count_{0};
};

}  // namespace quillet
