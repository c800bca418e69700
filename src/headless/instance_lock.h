#pragma once

#include <string>

namespace quillet {

// One running instance per user: a lock on a file in the runtime directory
// ($XDG_RUNTIME_DIR, else the data directory). Released when destroyed or
// when the process ends, however it ends.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& directory);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool acquired() const { return fd_ >= 0 && acquired_; }
  // The process id written by the instance that holds the lock, or 0.
  long holder() const { return holder_; }
  const std::string& path() const { return path_; }

  static std::string DefaultDirectory(const std::string& config_dir);

 private:
  std::string path_;
  int fd_ = -1;
  bool acquired_ = false;
  long holder_ = 0;
};

}  // namespace quillet
