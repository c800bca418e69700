#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillet::testing {

// Waits (really) until `condition` holds, at most `seconds`.
template <typename F>
bool WaitUntil(F condition, int seconds = 10) {
  for (int i = 0; i < seconds * 100; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// A loopback port with nothing listening on it.
inline uint16_t UnusedPort() {
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
  close(probe);
  return ntohs(addr.sin_port);
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Bytes as readable text for expected files: one line per CR LF, the rest of
// the control and non-ASCII bytes as \xHH.
inline std::string Escaped(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      out += "\\r\\n\n";
      ++i;
    } else if (c == '\n') {
      out += "\\n\n";
    } else if (c < 0x20 || c >= 0x7F || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The messages of the reviewed corpus (tests/data/messages/*.eml).
std::vector<std::string> CorpusMessages();

// Compares `got` with a reviewed expected file; with QUILLET_UPDATE_EXPECTED
// set, writes it instead (review the difference before committing it).
// Returns false when the file is missing.
bool MatchesExpectedFile(const std::string& path, const std::string& got);

}  // namespace quillet::testing
