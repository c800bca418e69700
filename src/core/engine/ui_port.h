#pragma once

#include <string>

namespace quillet {

// Status kinds of the status line.
enum StatusKind : int {
  kStatusDisconnected = 0,
  kStatusReady = 1,
  kStatusSending = 2,
  kStatusReceiving = 3,
  kStatusWaiting = 4,
  kStatusError = 5,
  kStatusConnecting = 6,
  kStatusDialing = 7,
  kStatusTextOnly = 99,
};

enum class MessageIcon { kNone, kExclamation, kQuestion, kInformation };
enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo, kCancel };
enum class BeepKind { kPlain, kExclamation };

// One row of the history list. Texts are in the internal Shift_JIS form.
struct HistoryRow {
  int icon = 0;      // the status code of the record
  int sort_key = 0;  // insertion order
  std::string size;  // column 0
  std::string account;
  std::string date;
  std::string subject;
  std::string from;
  std::string to;
};

// Menu items the engine greys out and enables again.
inline constexpr int kMenuQuit = 40015;

// The one way the engine reaches a front end. The communication thread calls
// these synchronously: each call returns only when the front end has done it,
// so a front end must keep serving them while it waits for the worker.
class UiPort {
 public:
  virtual ~UiPort() = default;
  virtual void ShowStatus(const std::string& text, int kind) = 0;
  virtual void AddHistoryRow(const HistoryRow& row) = 0;
  virtual void ClearHistoryRows() = 0;
  virtual void RedrawHistory() = 0;
  virtual void SetMenuItemEnabled(int item, bool enabled) = 0;
  virtual void Invalidate() = 0;
  virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    MessageIcon icon, MessageButtons buttons) = 0;
  virtual void Beep(BeepKind kind) = 0;
  virtual void HideIntoTray() = 0;
  // The start-up timer is the front end's; the worker asks to stop it.
  virtual void KillStartupTimer() = 0;
};

}  // namespace quillet
