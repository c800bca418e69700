#include "engine/comm_thread.h"

#include "compose/dates.h"

namespace quillet {

CommThread::CommThread(Engine& engine) : engine_(engine), thread_([this] { Main(); }) {}

CommThread::~CommThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool CommThread::Launch(int command) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_ || engine_.working != 0) return false;
    engine_.pass_command = command;
    pending_ = true;
  }
  wake_.notify_all();
  return true;
}

void CommThread::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return !pending_ && !running_; });
}

void CommThread::Main() {
  for (;;) {
    int command;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return pending_ || stopping_; });
      if (stopping_) return;
      pending_ = false;
      command = engine_.pass_command;
      if (engine_.busy != 0) {
        // Another run still holds the engine: the command is dropped.
        lock.unlock();
        engine_.Trace("****:" + FormatTimeStamp(engine_.clock().LocalTime()) +
                      "ERROR REPORT: Launching thread rejected by semaphore.\r\n");
        idle_.notify_all();
        continue;
      }
      engine_.busy = 1;
      engine_.working = 1;
      running_ = true;
    }
    engine_.ExecuteCommand(command);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      engine_.busy = 0;
      running_ = false;
    }
    idle_.notify_all();
  }
}

}  // namespace quillet
