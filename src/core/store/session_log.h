#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr char kSessionLogName[] = "quillet_session.log";

// The protocol trace: texts appended unchanged. Both threads write; each call
// is one open, append and close under a lock, so texts never mix.
class SessionLog {
 public:
  explicit SessionLog(std::string path = kSessionLogName) : path_(std::move(path)) {}
  void Write(std::string_view text);
  const std::string& path() const { return path_; }
  // Size in whole KiB, 0 when the file does not exist.
  long SizeKb() const;

 private:
  std::string path_;
  std::mutex mutex_;
};

}  // namespace quillet
