#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/engine.h"

namespace quillet {

// The communication thread: runs one pass command at a time for the window.
//
// Handshake. Launch() and the worker meet under one mutex. Launch() refuses
// while a command is pending or `working` is set; otherwise it stores the
// command and sets `pending_`. The worker takes the command, clears `pending_`
// and raises `busy` and `working` in the same critical section, so there is no
// moment in which a second Launch() could be accepted before the first command
// is visibly running: a command is never lost by being overwritten and never
// run twice, because `pending_` is consumed exactly once.
class CommThread {
 public:
  explicit CommThread(Engine& engine);
  ~CommThread();
  CommThread(const CommThread&) = delete;
  CommThread& operator=(const CommThread&) = delete;

  // Called by the front end; false when the command was not accepted.
  bool Launch(int command);
  // Blocks until no command is pending or running.
  void WaitIdle();

 private:
  void Main();

  Engine& engine_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  bool pending_ = false;
  bool running_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace quillet
