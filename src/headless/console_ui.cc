#include "console_ui.h"

#include <ctime>

#include "platform/text_encoding.h"

namespace quillet {

ConsoleUi::ConsoleUi(Clock& clock, std::FILE* out, std::FILE* err, const std::string& log_file)
    : clock_(clock), out_(out), err_(err) {
  if (!log_file.empty()) {
    log_ = std::fopen(log_file.c_str(), "ab");
    if (log_ == nullptr) std::fprintf(err_, "quilletpost: cannot append to %s\n", log_file.c_str());
  }
}

ConsoleUi::~ConsoleUi() {
  if (log_ != nullptr) std::fclose(log_);
}

const char* ConsoleUi::StatusName(int status) {
  switch (status) {
    case 0:
      return "forwarded";
    case 1:
      return "not forwarded";
    case 2:
      return "attachments removed";
    case 3:
      return "info";
    case 4:
      return "error";
    case 5:
      return "in history";
    case 7:
      return "forwarded to mobile";
    case 8:
      return "filtered by Content-Type";
    case 9:
      return "filtered by From";
    case 10:
      return "filtered by To";
    case 11:
      return "filtered by Cc";
    case 12:
      return "filtered by Subject";
    case 13:
      return "filtered by X-Mailer";
    case 14:
      return "filtered by Date";
    case 15:
      return "filtered by size";
    case 16:
      return "no filter matched";
    case 17:
      return "stop hour";
    default:
      return "status";
  }
}

void ConsoleUi::Print(std::FILE* stream, const std::string& text) {
  std::tm t = clock_.LocalTime();
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &t);
  std::string line = std::string(stamp) + " " + SjisToUtf8(text);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(stream, "%s\n", line.c_str());
  std::fflush(stream);
  if (log_ != nullptr) {
    std::fprintf(log_, "%s\n", line.c_str());
    std::fflush(log_);
  }
}

void ConsoleUi::ShowStatus(const std::string& text, int) {
  Print(out_, "status: " + text);
}

void ConsoleUi::AddHistoryRow(const HistoryRow& row) {
  std::string account = row.account == " " ? std::string() : row.account + " ";
  std::string line =
      "history: [" + std::string(StatusName(row.icon)) + "] " + account + row.subject;
  if (row.size != "Info") line += " | From: " + row.from + " | To: " + row.to + " | " + row.size;
  Print(out_, line);
}

MessageAnswer ConsoleUi::ShowMessage(const std::string& text, const std::string& caption,
                                     MessageIcon, MessageButtons buttons) {
  Print(err_, caption + ": " + text);
  return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
}

}  // namespace quillet
