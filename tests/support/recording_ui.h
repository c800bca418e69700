#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/ui_port.h"

namespace quillet::testing {

// Records everything the engine shows; message boxes get a preset answer.
class RecordingUi final : public UiPort {
 public:
  struct Status {
    std::string text;
    int kind;
  };
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
  };

  void ShowStatus(const std::string& text, int kind) override {
    std::lock_guard<std::mutex> lock(mutex);
    statuses.push_back({text, kind});
  }
  void AddHistoryRow(const HistoryRow& row) override {
    std::lock_guard<std::mutex> lock(mutex);
    rows.push_back(row);
  }
  void ClearHistoryRows() override {
    std::lock_guard<std::mutex> lock(mutex);
    rows.clear();
    ++clears;
  }
  void RedrawHistory() override { ++redraws; }
  void SetMenuItemEnabled(int item, bool enabled) override {
    std::lock_guard<std::mutex> lock(mutex);
    menu.push_back({item, enabled});
  }
  void Invalidate() override { ++invalidations; }
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override {
    std::lock_guard<std::mutex> lock(mutex);
    messages.push_back({text, caption, icon, buttons});
    return answer;
  }
  void Beep(BeepKind kind) override {
    std::lock_guard<std::mutex> lock(mutex);
    beeps.push_back(kind);
  }
  void HideIntoTray() override { ++tray; }
  void KillStartupTimer() override { ++startup_timer_kills; }

  // Subjects (texts) of the history rows, in order.
  std::vector<std::string> RowTexts() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> out;
    for (const HistoryRow& r : rows) out.push_back(r.subject);
    return out;
  }
  std::vector<std::string> StatusTexts() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> out;
    for (const Status& s : statuses) out.push_back(s.text);
    return out;
  }

  std::mutex mutex;
  std::vector<Status> statuses;
  std::vector<HistoryRow> rows;
  std::vector<std::pair<int, bool>> menu;
  std::vector<Message> messages;
  std::vector<BeepKind> beeps;
  int clears = 0, redraws = 0, invalidations = 0, tray = 0, startup_timer_kills = 0;
  MessageAnswer answer = MessageAnswer::kNo;
};

}  // namespace quillet::testing
