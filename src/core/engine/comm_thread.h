#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/engine.h"
#include "platform/cancellation.h"

namespace quillet {

// The protocol objects one worker uses for itself.
class WorkerServices {
 public:
  virtual ~WorkerServices() = default;
  virtual MailProtocols* protocols() = 0;
  virtual MessageProcessor* processor() = 0;
};
using ServicesFactory = std::function<std::unique_ptr<WorkerServices>(Engine&)>;

// The communication thread: runs one pass command at a time for the window.
//
// Handshake. Launch() and the worker meet under one mutex. Launch() refuses
// while a command is pending or `working` is set; otherwise it stores the
// command and sets `pending`. The worker takes the command, clears `pending`
// and raises `busy` and `working` in the same critical section, so there is no
// moment in which a second Launch() could be accepted before the first command
// is visibly running: a command is never lost by being overwritten and never
// run twice, because `pending` is consumed exactly once.
//
// Restart. The watchdog cancels the running worker: its sockets are shut down
// and every blocking point returns at once (see CancelToken), so it unwinds
// within moments; the watchdog waits up to the given time for that, then
// starts a fresh idle worker. From the moment of cancellation the old worker
// writes no shared state: the engine's helpers drop its status texts, history
// entries and UI calls, it saves no UIDL store, changes no stored IDs, results
// or counters, and it never touches `busy` or `working` again. Its message
// record and protocol objects are its own, so even a worker that outlives the
// wait shares nothing with the fresh one.
class CommThread {
 public:
  // `factory` makes each worker's protocol objects; without one the workers
  // use the engine's own.
  explicit CommThread(Engine& engine, ServicesFactory factory = {});
  ~CommThread();
  CommThread(const CommThread&) = delete;
  CommThread& operator=(const CommThread&) = delete;

  bool Launch(int command);
  void WaitIdle();
  // Waits at most `limit` for the running command; true when idle.
  bool WaitIdleFor(std::chrono::milliseconds limit);
  // Cancels the running command and starts a fresh, idle worker. Returns true
  // when the old worker ended within `wait`.
  bool Restart(std::chrono::milliseconds wait = std::chrono::seconds(10));
  // A number that identifies the current worker (1 for the first).
  int worker_id() const { return worker_id_; }

 private:
  struct Worker;
  std::shared_ptr<Worker> StartWorker();

  Engine& engine_;
  ServicesFactory factory_;
  std::shared_ptr<Worker> worker_;
  int worker_id_ = 0;
};

}  // namespace quillet
