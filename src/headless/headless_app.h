#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace quillet {

// A request to stop the daemon, from a signal or from a test.
class StopSignal {
 public:
  void Request();
  // Waits at most `milliseconds`; true when a stop was requested.
  bool WaitFor(uint32_t milliseconds);
  bool requested();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool requested_ = false;
};

// Where and how the command-line program runs.
struct RunContext {
  Directories dirs;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  StopSignal* stop = nullptr;  // the daemon runs until this is requested
  uint32_t tick_ms = 60000;    // the pass timer
  std::string lock_dir;        // where the single-instance lock lives; empty: the default
};

// One "Start forwarding" run over all accounts, then exit (0 clean, 1 errors
// recorded, 2 refused).
int RunOnce(const RunContext& context, const std::string& log_file);
// The unattended program: a run at once, then a tick every minute, until stopped.
int RunDaemon(const RunContext& context, const std::string& log_file);
// Forwards sample mail between small local servers and shows what happened.
int RunDemo(std::FILE* out, std::FILE* err);

// The command line (without the program name); returns the exit status.
int RunHeadlessApp(const std::vector<std::string>& args, const RunContext& context);

}  // namespace quillet
