#include "engine/comm_thread.h"

#include "compose/dates.h"

namespace quillet {

struct CommThread::Worker {
  Engine* engine = nullptr;
  std::unique_ptr<WorkerServices> services;
  MessageRecord record;
  CancelToken token;
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable idle;
  bool pending = false;
  bool running = false;
  bool stopping = false;
  bool finished = false;
  std::thread thread;

  void Main();
};

void CommThread::Worker::Main() {
  WorkerContext context;
  if (services != nullptr) {
    context.protocols = services->protocols();
    context.processor = services->processor();
  }
  context.record = &record;
  SetCurrentWorkerContext(&context);
  SetCurrentCancelToken(&token);
  for (;;) {
    int command;
    {
      std::unique_lock<std::mutex> lock(mutex);
      wake.wait(lock, [this] { return pending || stopping || token.cancelled(); });
      if (stopping || token.cancelled()) break;
      pending = false;
      command = engine->pass_command;
      if (engine->busy != 0) {
        // Another run still holds the engine: the command is dropped.
        lock.unlock();
        engine->Trace("****:" + FormatTimeStamp(engine->clock().LocalTime()) +
                      "ERROR REPORT: Launching thread rejected by semaphore.\r\n");
        idle.notify_all();
        continue;
      }
      engine->busy = 1;
      engine->working = 1;
      running = true;
    }
    engine->ExecuteCommand(command);
    {
      std::lock_guard<std::mutex> lock(mutex);
      // A cancelled run leaves `busy` to the watchdog.
      if (!token.cancelled()) engine->busy = 0;
      running = false;
    }
    idle.notify_all();
  }
  record.Clear();
  SetCurrentCancelToken(nullptr);
  SetCurrentWorkerContext(nullptr);
  std::lock_guard<std::mutex> lock(mutex);
  finished = true;
  idle.notify_all();
}

CommThread::CommThread(Engine& engine, ServicesFactory factory)
    : engine_(engine), factory_(std::move(factory)) {
  worker_ = StartWorker();
}

std::shared_ptr<CommThread::Worker> CommThread::StartWorker() {
  auto worker = std::make_shared<Worker>();
  worker->engine = &engine_;
  if (factory_) worker->services = factory_(engine_);
  ++worker_id_;
  // The thread holds the worker too, so an abandoned one stays valid to its end.
  worker->thread = std::thread([worker] { worker->Main(); });
  return worker;
}

CommThread::~CommThread() {
  {
    std::lock_guard<std::mutex> lock(worker_->mutex);
    worker_->stopping = true;
  }
  worker_->wake.notify_all();
  worker_->thread.join();
}

bool CommThread::Launch(int command) {
  Worker& w = *worker_;
  {
    std::lock_guard<std::mutex> lock(w.mutex);
    if (w.pending || engine_.working != 0) return false;
    engine_.pass_command = command;
    w.pending = true;
  }
  w.wake.notify_all();
  return true;
}

void CommThread::WaitIdle() {
  Worker& w = *worker_;
  std::unique_lock<std::mutex> lock(w.mutex);
  w.idle.wait(lock, [&w] { return !w.pending && !w.running; });
}

bool CommThread::WaitIdleFor(std::chrono::milliseconds limit) {
  Worker& w = *worker_;
  std::unique_lock<std::mutex> lock(w.mutex);
  return w.idle.wait_for(lock, limit, [&w] { return !w.pending && !w.running; });
}

bool CommThread::Restart(std::chrono::milliseconds wait) {
  std::shared_ptr<Worker> old = worker_;
  old->token.Cancel();
  {
    std::lock_guard<std::mutex> lock(old->mutex);
    old->pending = false;
  }
  old->wake.notify_all();
  bool ended;
  {
    std::unique_lock<std::mutex> lock(old->mutex);
    ended = old->idle.wait_for(lock, wait, [&old] { return old->finished; });
  }
  if (ended)
    old->thread.join();
  else
    old->thread.detach();  // it unwinds on its own and writes nothing shared
  worker_ = StartWorker();
  return ended;
}

}  // namespace quillet
