#pragma once

#include <chrono>
#include <string>

#include "engine/comm_thread.h"
#include "engine/engine.h"

namespace quillet {

// Menu and toolbar commands the engine handles.
inline constexpr int kCommandQuit = 40015;
inline constexpr int kCommandQuitAlternative = 40054;
inline constexpr int kCommandPutIntoTray = 40069;

// The engine's side of the main window: the two timers (the front end owns the
// real ones and calls in), launching commands, the watchdog, the quit sequence
// and the status-bar summary. Everything here runs on the front end's thread.
class Supervisor {
 public:
  Supervisor(Engine& engine, CommThread& worker) : engine_(engine), worker_(worker) {}

  // When the window exists: the debug reminder; true when the front end must
  // start the three-second start-up timer ("Starting up automatically.").
  bool WindowCreated();
  // The one-minute timer: a launch of command 1, or the watchdog during a run.
  void OnPassTimer();
  // The start-up timer: command 2 unless a command runs.
  void OnStartupTimer();
  // "Start forwarding" (40053); false when a command runs.
  bool StartForwarding();
  // The quit sequence (40015, 40054, close request). True when the program may
  // end; false when it was refused (a beep while a command runs) or declined.
  bool Quit();
  // Status-bar summary: its text and status kind.
  std::string SummaryText() const;
  int SummaryKind() const;

  void Watchdog();
  // For tests: how long the watchdog waits for a cancelled worker.
  void SetRestartWait(std::chrono::milliseconds wait) { restart_wait_ = wait; }

 private:
  bool Launch(int command);
  void TraceSupervision(const std::string& text);

  Engine& engine_;
  CommThread& worker_;
  std::chrono::milliseconds restart_wait_{std::chrono::seconds(10)};
};

}  // namespace quillet
