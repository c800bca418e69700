#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "engine/ui_port.h"
#include "platform/clock.h"
#include "store/settings.h"

namespace quillet {

inline constexpr int kHistoryWindowRows = 3000;
inline constexpr int kKindInformation = 3;
inline constexpr int kKindError = 4;

// TAB, LF and CR become blanks and ";" becomes "," so a field never breaks a record.
void SanitiseField(std::string& text);

// The history file and the rows of the window's history list.
class HistoryLog {
 public:
  HistoryLog(UiPort& ui, Clock& clock) : ui_(ui), clock_(clock) {}
  void SetPath(std::string path) { path_ = std::move(path); }
  const std::string& path() const { return path_; }

  // Records an event of kind 3 (information) or 4 (error), for an account or none.
  void RecordInfo(std::string_view text, int kind, const Account* account);

  int row_counter() const { return row_counter_; }
  // Number of error records (kind 4) written since start-up.
  int error_count() const { return error_count_; }

 private:
  // Clears the window list when it holds the maximum number of rows.
  void ApplyRowLimit(const Account* account);
  void Append(const std::string& line);

  UiPort& ui_;
  Clock& clock_;
  std::string path_;
  std::recursive_mutex mutex_;
  int row_counter_ = 0;
  int error_count_ = 0;
};

}  // namespace quillet
