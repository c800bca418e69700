#include "store/history_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "analysis/charset.h"
#include "compose/dates.h"
#include "platform/cancellation.h"
#include "platform/paths.h"

namespace quillet {

void SanitiseField(std::string& text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    if (c == ';') c = ',';
  }
}

HistoryRow HistoryLog::InfoRow(std::string_view text, int kind, const Account* account,
                               std::string& line) {
  HistoryRow row;
  row.icon = kind;
  row.size = "Info";
  row.date = FormatDateStamp(clock_.LocalTime());
  row.subject = std::string(text);
  SanitiseField(row.subject);
  std::string written = row.subject;
  if (row.subject.empty()) row.subject = " ";
  row.from = "(Quillet System)";
  row.to = " ";
  std::string label = account != nullptr ? AccountLabel(*account) : std::string();
  SanitiseField(label);
  row.account = label.empty() ? " " : label;
  line = "V1;" + std::to_string(kind) + ";Info;" + row.date + ";" + written +
         ";(Quillet System); ; ;" + row.account + ";\n";
  return row;
}

void HistoryLog::Publish(HistoryRow row, const std::string& line, const Account* account) {
  bool cleared = false;
  HistoryRow note;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row_counter_ >= kHistoryWindowRows) {
      // The window list starts again; the file keeps every record.
      cleared = true;
      row_counter_ = 0;
      std::string note_line;
      note =
          InfoRow("The history window has been cleared because the number of logs got over 3000.",
                  kKindInformation, account, note_line);
      note.sort_key = row_counter_++;
      Append(note_line);
    }
    row.sort_key = row_counter_++;
    if (row.icon == kKindError && row.size == "Info") ++error_count_;
    Append(line);
  }
  // The window is reached without the lock held: its thread may be recording too.
  if (cleared) {
    ui_.ClearHistoryRows();
    ui_.AddHistoryRow(note);
  }
  ui_.AddHistoryRow(row);
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
  if (RunCancelled()) return;  // a run the watchdog gave up on records nothing more
  std::string line;
  HistoryRow row = InfoRow(text, kind, account, line);
  Publish(std::move(row), line, account);
}

}  // namespace quillet

namespace quillet {
namespace {

// Longest history line the duplicate test looks at; longer ones are garbage.
constexpr size_t kLongestHistoryLine = 1 << 20;
constexpr size_t kLongestHeaderValue = 65534;

// The decoded value of a header line behind its first `skip` characters.
std::string DecodedValue(const char* line, size_t skip, const char* absent) {
  if (line == nullptr) return absent;
  size_t n = strnlen(line, kLongestHeaderValue);
  std::string value = n > skip ? std::string(line + skip, n - skip) : std::string();
  std::string decoded;
  DecodeHeaderText(value, decoded, true);
  SanitiseField(decoded);
  return decoded;
}

std::string Label(const Account& account) {
  std::string label = AccountLabel(account);
  SanitiseField(label);
  return label.empty() ? " " : label;
}

// Fields of a record, split at runs of ";" (empty fields are not counted).
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ';') ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ';') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

}  // namespace

long long FileSize(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  long long size = 0;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  std::fclose(f);
  return size < 0 ? 0 : size;
}

void HistoryLog::RecordMail(const MessageRecord& r, const Account& account, int uid_count) {
  if (RunCancelled()) return;
  if (settings_ != nullptr && settings_->history_skip_filtered != 0 &&
      r.resultCode == kResultInHistory)
    return;
  HistoryRow row;
  row.icon = static_cast<int>(r.resultCode);
  row.size = std::to_string(r.fileSize) + "(" + std::to_string(uid_count) + ")";
  row.date = FormatDateStamp(clock_.LocalTime());
  row.subject = DecodedValue(r.subject, 9, "(No Subject)");
  row.from = DecodedValue(r.from, 6, "(none)");
  row.to = DecodedValue(r.to, 4, "(none)");
  std::string id =
      r.messageId != nullptr ? std::string(r.messageId + strnlen(r.messageId, 11)) : " ";
  SanitiseField(id);
  if (id.empty()) id = " ";
  row.account = Label(account);
  std::string line = "V1;" + std::to_string(r.resultCode) + ";" + row.size + ";" + row.date + ";" +
                     row.subject + ";" + row.from + ";" + row.to + ";" + id + ";" + row.account +
                     ";\n";
  Publish(std::move(row), line, &account);
}

bool HistoryLog::IsAlreadyForwarded(MessageRecord& r, const Account& account) {
  if (settings_ == nullptr || settings_->skip_if_in_history == 0 || r.messageId == nullptr)
    return true;
  std::FILE* f = std::fopen(path_.c_str(), "rb");
  if (f == nullptr) return true;
  std::string id(r.messageId + strnlen(r.messageId, 11));
  std::string label = Label(account);
  bool all = settings_->history_check_all != 0;
  // Line by line, so a history of any size costs one line of memory.
  std::string line;
  bool found = false, too_long = false;
  char chunk[65536];
  size_t n;
  while (!found && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    for (size_t i = 0; i < n && !found; ++i) {
      if (chunk[i] != '\n') {
        if (line.size() < kLongestHistoryLine)
          line += chunk[i];
        else
          too_long = true;
        continue;
      }
      if (!too_long) {
        std::vector<std::string_view> fields = Fields(line);
        found =
            fields.size() > 8 && (all || fields[8] == label) && fields[7] != " " && fields[7] == id;
      }
      line.clear();
      too_long = false;
    }
  }
  std::fclose(f);
  if (!found) return true;
  r.resultCode = kResultInHistory;
  return false;
}

void HistoryLog::HalveHistory() {
  if (settings_ == nullptr || settings_->history_auto_halve == 0) return;
  long long keep = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    keep = HalveFile();
  }
  if (keep < 0) return;
  RecordInfo(
      "Half of the older history logs have been discarded automatically. / Remaining logs : " +
          std::to_string(keep),
      kKindInformation, nullptr);
}

long long HistoryLog::HalveFile() {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return -1;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.empty()) return -1;
  long long n = std::count(text.begin(), text.end(), '\n');
  if (n <= settings_->history_halve_threshold) return -1;
  long long keep = n / 2;
  long long skip = n - keep;
  size_t at = 0;
  for (long long i = 0; i < skip; ++i) at = text.find('\n', at) + 1;
  std::string kept = text.substr(at);
  if (!WriteFileAtomically(path_, kept.data(), kept.size())) return -1;
  return keep;
}

}  // namespace quillet
