#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "engine/ui_port.h"
#include "platform/clock.h"

namespace quillet {

// The front end without a window: status texts and history rows are printed
// to stdout, message boxes to stderr, each line time-stamped and converted
// from the internal Shift_JIS to UTF-8. Questions are answered No, since
// nobody is there to answer them.
class ConsoleUi final : public UiPort {
 public:
  // With a `log_file`, every line is appended there too.
  ConsoleUi(Clock& clock, std::FILE* out, std::FILE* err, const std::string& log_file = {});
  ~ConsoleUi() override;

  void ShowStatus(const std::string& text, int kind) override;
  void AddHistoryRow(const HistoryRow& row) override;
  void ClearHistoryRows() override {}
  void RedrawHistory() override {}
  void SetMenuItemEnabled(int, bool) override {}
  void Invalidate() override {}
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;
  void Beep(BeepKind) override {}
  void HideIntoTray() override {}
  void KillStartupTimer() override {}

  // Name of a history status for the console.
  static const char* StatusName(int status);

 private:
  void Print(std::FILE* stream, const std::string& text);

  Clock& clock_;
  std::FILE* out_;
  std::FILE* err_;
  std::FILE* log_ = nullptr;
  std::mutex mutex_;
};

}  // namespace quillet
