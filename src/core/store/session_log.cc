#include "store/session_log.h"

#include <sys/stat.h>

#include <cstdio>

namespace quillet {

void SessionLog::Write(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::FILE* f = std::fopen(path_.c_str(), "ab");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

long SessionLog::SizeKb() const {
  struct stat st {};
  if (stat(path_.c_str(), &st) != 0) return 0;
  return static_cast<long>(st.st_size / 1024);
}

}  // namespace quillet
