#include "instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/paths.h"

namespace quillet {

std::string InstanceLock::DefaultDirectory(const std::string& config_dir) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return runtime;
  return config_dir;
}

InstanceLock::InstanceLock(const std::string& directory) : path_(directory + "/quilletpost.lock") {
  EnsureDirectory(directory);
  fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    acquired_ = true;
    std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd_, 0) == 0) {
      ssize_t ignored = pwrite(fd_, pid.data(), pid.size(), 0);
      (void)ignored;
    }
    return;
  }
  char buffer[32] = {};
  ssize_t n = pread(fd_, buffer, sizeof buffer - 1, 0);
  if (n > 0) holder_ = std::strtol(buffer, nullptr, 10);
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the lock
}

}  // namespace quillet
