#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>

namespace quillet {

// Cancellation of one worker's run. The watchdog cancels; the worker notices
// at every blocking point: its sockets are shut down, socket waits include
// `event_fd()`, sleeps are cut short and name lookups are no longer waited for.
class CancelToken {
 public:
  CancelToken();
  ~CancelToken();
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  void Cancel();
  bool cancelled() const { return cancelled_; }
  // Readable once cancelled (-1 when no descriptor could be had).
  int event_fd() const { return event_fd_; }
  // Sockets the run has open; cancelling shuts them down (their owner closes them).
  void AddSocket(int fd);
  void RemoveSocket(int fd);

 private:
  std::atomic<bool> cancelled_{false};
  int event_fd_ = -1;
  std::mutex mutex_;
  std::set<int> sockets_;
};

// The token of the run on this thread, null outside a worker.
CancelToken* CurrentCancelToken();
void SetCurrentCancelToken(CancelToken* token);
// True on a worker thread whose run was cancelled: it must leave shared state alone.
inline bool RunCancelled() {
  CancelToken* t = CurrentCancelToken();
  return t != nullptr && t->cancelled();
}

// Resolves an IPv4 address without blocking past a cancellation: the lookup
// runs on a helper thread that is left to finish on its own when cancelled.
bool ResolveIpv4(const std::string& host, uint32_t& address);

}  // namespace quillet
