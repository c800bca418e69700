#include "platform/cancellation.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <thread>

namespace quillet {
namespace {
thread_local CancelToken* current_token = nullptr;
}

CancelToken::CancelToken() : event_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CancelToken::~CancelToken() {
  if (event_fd_ >= 0) close(event_fd_);
}

void CancelToken::Cancel() {
  cancelled_ = true;
  if (event_fd_ >= 0) {
    uint64_t one = 1;
    ssize_t ignored = write(event_fd_, &one, sizeof one);
    (void)ignored;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (int fd : sockets_) shutdown(fd, SHUT_RDWR);
}

void CancelToken::AddSocket(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  sockets_.insert(fd);
  if (cancelled_) shutdown(fd, SHUT_RDWR);
}

void CancelToken::RemoveSocket(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  sockets_.erase(fd);
}

CancelToken* CurrentCancelToken() {
  return current_token;
}
void SetCurrentCancelToken(CancelToken* token) {
  current_token = token;
}

bool ResolveIpv4(const std::string& host, uint32_t& address) {
  struct Lookup {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
    bool found = false;
    uint32_t address = 0;
  };
  auto lookup = std::make_shared<Lookup>();
  std::thread([lookup, host] {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    bool found = getaddrinfo(host.c_str(), nullptr, &hints, &result) == 0 && result != nullptr;
    uint32_t a = found ? reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr : 0;
    if (result != nullptr) freeaddrinfo(result);
    std::lock_guard<std::mutex> lock(lookup->mutex);
    lookup->found = found;
    lookup->address = a;
    lookup->done = true;
    lookup->done_cv.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(lookup->mutex);
  while (!lookup->done) {
    if (RunCancelled()) return false;
    lookup->done_cv.wait_for(lock, std::chrono::milliseconds(50));
  }
  address = lookup->address;
  return lookup->found;
}

}  // namespace quillet
