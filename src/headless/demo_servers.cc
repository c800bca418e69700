#include "demo_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

namespace quillet {
namespace {

constexpr size_t kLineLimit = 1 << 20;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

LoopbackServer::~LoopbackServer() = default;

bool LoopbackServer::Start() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) return false;
  int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener_, 16) != 0)
    return false;
  socklen_t len = sizeof addr;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      Serve(fd);
      close(fd);
    }
  });
  return true;
}

void LoopbackServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) close(listener_);
  listener_ = -1;
}

bool LoopbackServer::ReadLine(int fd, std::string& line) {
  line.clear();
  while (!stop_ && line.size() < kLineLimit) {
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, 50);
    if (r == 0) continue;
    char c;
    if (r < 0 || recv(fd, &c, 1, 0) != 1) return false;
    line += c;
    if (c == '\n') return true;
  }
  return false;
}

void LoopbackServer::Send(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

void DemoPop3Server::AddMailbox(const std::string& user, const std::string& password) {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_[user].password = password;
}

void DemoPop3Server::Deliver(const std::string& user, Message message) {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_[user].messages.push_back(std::move(message));
}

size_t DemoPop3Server::Count(const std::string& user) {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_[user].messages.size();
}

void DemoPop3Server::Serve(int fd) {
  if (!available_) return;  // closed at once, as a server that is down
  Send(fd, "+OK demo POP3 server ready\r\n");
  std::string user;
  bool authorised = false;
  std::vector<bool> deleted;
  std::string line;
  while (ReadLine(fd, line)) {
    std::string command = Trim(line);
    std::string verb = Upper(command.substr(0, command.find(' ')));
    std::string arg =
        command.find(' ') == std::string::npos ? "" : command.substr(command.find(' ') + 1);
    std::lock_guard<std::mutex> lock(mutex_);
    if (verb == "USER") {
      user = arg;
      Send(fd, "+OK\r\n");
    } else if (verb == "PASS") {
      auto it = boxes_.find(user);
      authorised = it != boxes_.end() && it->second.password == arg;
      if (authorised) deleted.assign(it->second.messages.size(), false);
      Send(fd, authorised ? "+OK logged in\r\n" : "-ERR wrong user or password\r\n");
    } else if (verb == "QUIT") {
      if (authorised) {
        std::vector<Message>& messages = boxes_[user].messages;
        std::vector<Message> kept;
        for (size_t i = 0; i < messages.size(); ++i)
          if (i >= deleted.size() || !deleted[i]) kept.push_back(messages[i]);
        messages.swap(kept);
      }
      Send(fd, "+OK bye\r\n");
      return;
    } else if (!authorised) {
      Send(fd, "-ERR log in first\r\n");
    } else {
      std::vector<Message>& messages = boxes_[user].messages;
      size_t n = std::strtoul(arg.c_str(), nullptr, 10);
      bool valid = n >= 1 && n <= messages.size() && !deleted[n - 1];
      if (verb == "STAT") {
        size_t count = 0, bytes = 0;
        for (size_t i = 0; i < messages.size(); ++i)
          if (!deleted[i]) ++count, bytes += messages[i].text.size();
        Send(fd, "+OK " + std::to_string(count) + " " + std::to_string(bytes) + "\r\n");
      } else if (verb == "UIDL" && arg.empty()) {
        std::string reply = "+OK\r\n";
        for (size_t i = 0; i < messages.size(); ++i)
          if (!deleted[i]) reply += std::to_string(i + 1) + " " + messages[i].uid + "\r\n";
        Send(fd, reply + ".\r\n");
      } else if (verb == "LIST" && valid) {
        Send(fd, "+OK " + std::to_string(n) + " " + std::to_string(messages[n - 1].text.size()) +
                     "\r\n");
      } else if (verb == "RETR" && valid) {
        std::string out = "+OK\r\n";
        const std::string& text = messages[n - 1].text;
        size_t start = 0;
        while (start < text.size()) {
          size_t end = text.find("\r\n", start);
          end = end == std::string::npos ? text.size() : end + 2;
          std::string l = text.substr(start, end - start);
          if (!l.empty() && l[0] == '.') out += '.';  // dot-stuffing
          out += l;
          start = end;
        }
        if (!out.ends_with("\r\n")) out += "\r\n";
        Send(fd, out + ".\r\n");
      } else if (verb == "DELE" && valid) {
        deleted[n - 1] = true;
        Send(fd, "+OK deleted\r\n");
      } else if (verb == "RSET") {
        deleted.assign(messages.size(), false);
        Send(fd, "+OK\r\n");
      } else if (verb == "NOOP") {
        Send(fd, "+OK\r\n");
      } else {
        Send(fd, "-ERR unknown command or message\r\n");
      }
    }
  }
}

std::vector<DemoSmtpServer::Received> DemoSmtpServer::Messages() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void DemoSmtpServer::Serve(int fd) {
  Send(fd, "220 demo SMTP server ready\r\n");
  Received current;
  std::string line;
  while (ReadLine(fd, line)) {
    std::string command = Trim(line);
    std::string verb = Upper(command.substr(0, 4));
    if (verb == "HELO" || verb == "EHLO") {
      Send(fd, verb == "EHLO" ? "250-demo\r\n250 AUTH PLAIN LOGIN\r\n" : "250 demo\r\n");
    } else if (verb == "AUTH") {
      Send(fd, "235 accepted\r\n");
    } else if (verb == "RSET") {
      current = Received{};
      Send(fd, "250 reset\r\n");
    } else if (verb == "MAIL") {
      current.from = command.substr(command.find(':') + 1);
      Send(fd, "250 sender ok\r\n");
    } else if (verb == "RCPT") {
      current.to.push_back(Trim(command.substr(command.find(':') + 1)));
      Send(fd, "250 recipient ok\r\n");
    } else if (verb == "DATA") {
      Send(fd, "354 go ahead\r\n");
      std::string data;
      while (ReadLine(fd, line)) {
        if (line == ".\r\n") break;
        data += line;
      }
      current.data = data;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.push_back(current);
      }
      Send(fd, "250 queued\r\n");
    } else if (verb == "QUIT") {
      Send(fd, "221 bye\r\n");
      return;
    } else {
      Send(fd, "250 ok\r\n");
    }
  }
}

}  // namespace quillet
