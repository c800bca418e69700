#include "store/history_log.h"

#include <cstdio>

#include "compose/dates.h"
#include "platform/paths.h"

namespace quillet {

void SanitiseField(std::string& text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    if (c == ';') c = ',';
  }
}

void HistoryLog::ApplyRowLimit(const Account* account) {
  if (row_counter_ < kHistoryWindowRows) return;
  ui_.ClearHistoryRows();
  row_counter_ = 0;
  RecordInfo("The history window has been cleared because the number of logs got over 3000.",
             kKindInformation, account);
}

void HistoryLog::Append(const std::string& line) {
  if (path_.empty()) return;
  std::FILE* f = std::fopen(path_.c_str(), "ab");
  if (f == nullptr) {
    // The data directory is created on first write.
    auto slash = path_.find_last_of('/');
    if (slash == std::string::npos || !EnsureDirectory(path_.substr(0, slash))) return;
    f = std::fopen(path_.c_str(), "ab");
    if (f == nullptr) return;
  }
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
}

void HistoryLog::RecordInfo(std::string_view text, int kind, const Account* account) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ApplyRowLimit(account);
  if (kind == kKindError) ++error_count_;
  HistoryRow row;
  row.icon = kind;
  row.sort_key = row_counter_++;
  row.size = "Info";
  row.date = FormatDateStamp(clock_.LocalTime());
  row.subject = std::string(text);
  SanitiseField(row.subject);
  if (row.subject.empty()) row.subject = " ";
  row.from = "(Quillet System)";
  row.to = " ";
  std::string label = account != nullptr ? AccountLabel(*account) : std::string();
  SanitiseField(label);
  row.account = label.empty() ? " " : label;
  ui_.AddHistoryRow(row);
  std::string line = "V1;" + std::to_string(kind) + ";Info;" + row.date + ";" +
                     (text.empty() ? std::string() : row.subject) + ";(Quillet System); ; ;" +
                     row.account + ";\n";
  Append(line);
}

}  // namespace quillet
