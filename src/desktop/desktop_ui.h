#pragma once

#include "engine/ui_port.h"

class QWidget;

namespace quillet {

class MainWindow;

// The engine's way to the window. Calls from the communication thread are
// carried out on the window's thread and wait for it (a blocking queued
// call); calls on the window's thread run directly. The window's thread never
// waits for the worker, so the two never wait for each other.
class DesktopUi final : public UiPort {
 public:
  void SetWindow(MainWindow* window) { window_ = window; }

  void ShowStatus(const std::string& text, int kind) override;
  void AddHistoryRow(const HistoryRow& row) override;
  void ClearHistoryRows() override;
  void RedrawHistory() override;
  void SetMenuItemEnabled(int item, bool enabled) override;
  void Invalidate() override;
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;
  void Beep(BeepKind kind) override;
  void HideIntoTray() override;
  void KillStartupTimer() override;
  int beeps() const { return beeps_; }

 private:
  template <typename F>
  void OnWindowThread(F&& f);
  MainWindow* window_ = nullptr;
  int beeps_ = 0;
};

// A message box in the style of the program (owner-less when `parent` is null).
MessageAnswer AskUser(const std::string& text, const std::string& caption, MessageIcon icon,
                      MessageButtons buttons, QWidget* parent = nullptr);

}  // namespace quillet
