#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillet {

// Small mail servers on 127.0.0.1 for the demo and for tests that need a
// server which behaves rather than one that follows a script. Each serves one
// connection at a time and stops when destroyed.
class LoopbackServer {
 public:
  virtual ~LoopbackServer();
  uint16_t port() const { return port_; }

 protected:
  bool Start();
  void Stop();
  // Serves one accepted connection.
  virtual void Serve(int fd) = 0;
  // Reads one line ending in LF; false when the client is gone or stopping.
  bool ReadLine(int fd, std::string& line);
  static void Send(int fd, const std::string& text);

  std::atomic<bool> stop_{false};

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

// A POP3 server with a mailbox per user (USER/PASS, STAT, UIDL, LIST, RETR,
// DELE, RSET, NOOP, QUIT). Deletions take effect at QUIT.
class DemoPop3Server final : public LoopbackServer {
 public:
  struct Message {
    std::string uid;
    std::string text;  // CR LF line ends
  };
  DemoPop3Server() { Start(); }
  ~DemoPop3Server() override { Stop(); }
  void AddMailbox(const std::string& user, const std::string& password);
  void Deliver(const std::string& user, Message message);
  size_t Count(const std::string& user);
  // Makes the server refuse every connection until allowed again.
  void SetAvailable(bool available) { available_ = available; }

 private:
  void Serve(int fd) override;
  struct Mailbox {
    std::string password;
    std::vector<Message> messages;
  };
  std::mutex mutex_;
  std::map<std::string, Mailbox> boxes_;
  std::atomic<bool> available_{true};
};

// An SMTP server that accepts every message and keeps it.
class DemoSmtpServer final : public LoopbackServer {
 public:
  struct Received {
    std::string from;
    std::vector<std::string> to;
    std::string data;  // as sent, up to the final dot line
  };
  DemoSmtpServer() { Start(); }
  ~DemoSmtpServer() override { Stop(); }
  std::vector<Received> Messages();

 private:
  void Serve(int fd) override;
  std::mutex mutex_;
  std::vector<Received> received_;
};

}  // namespace quillet
