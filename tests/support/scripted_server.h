#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillet::testing {

// A scripted server on 127.0.0.1 and an ephemeral port, for POP3 and SMTP
// tests that read like the conversation they check. Each accepted connection
// plays the next session script: what the server sends (optionally cut into
// segments with pauses between them), what the client must send next (a
// mismatch is recorded and ends the session), stalls and dropped connections.
// Every byte the client sent is kept.
class ScriptedServer {
 public:
  struct Step {
    enum Kind { kSend, kExpect, kExpectData, kStall, kDrop } kind;
    std::string text;
    std::vector<size_t> cuts;  // offsets at which a send is split
    int pause_ms = 0;
  };
  using Script = std::vector<Step>;

  // Server text; `cuts` split it into segments sent `pause_ms` apart.
  static Step S(std::string text, std::vector<size_t> cuts = {}, int pause_ms = 150) {
    return {Step::kSend, std::move(text), std::move(cuts), pause_ms};
  }
  // The client's next line, CR LF included.
  static Step C(std::string line) { return {Step::kExpect, std::move(line), {}, 0}; }
  // Message data up to and including the final "\r\n.\r\n".
  static Step Data() { return {Step::kExpectData, {}, {}, 0}; }
  static Step Stall(int ms) { return {Step::kStall, {}, {}, ms}; }
  static Step Drop() { return {Step::kDrop, {}, {}, 0}; }

  ScriptedServer();
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t port() const { return port_; }
  void AddSession(Script script);
  // Waits (at most `ms`) until every added session has run.
  bool WaitDone(int ms = 10000);
  std::vector<std::string> Failures();
  // Every byte the client sent in session `index` (0-based).
  std::string Received(size_t index);
  // The message data of the last Data() step of session `index`.
  std::string DataOf(size_t index);
  int accepted() const { return accepted_; }

 private:
  void Run();
  void Play(int fd, size_t index);
  bool ReadLine(int fd, size_t index, std::string& line);
  void Fail(std::string text);

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::mutex mutex_;
  std::vector<Script> scripts_;
  std::vector<std::string> received_;
  std::vector<std::string> data_;
  std::vector<std::string> failures_;
  size_t finished_ = 0;
  std::thread thread_;
};

}  // namespace quillet::testing
