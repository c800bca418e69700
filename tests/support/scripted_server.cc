#include "support/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace quillet::testing {
namespace {

constexpr size_t kLineLimit = 1 << 20;

void SendAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
    if (w <= 0) return;
    p += w;
    n -= static_cast<size_t>(w);
  }
}

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Printable(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

ScriptedServer::ScriptedServer() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(listener_, 8);
  socklen_t len = sizeof addr;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

void ScriptedServer::AddSession(Script script) {
  std::lock_guard<std::mutex> lock(mutex_);
  scripts_.push_back(std::move(script));
  received_.emplace_back();
  data_.emplace_back();
}

bool ScriptedServer::WaitDone(int ms) {
  for (int waited = 0; waited < ms; waited += 10) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (finished_ >= scripts_.size()) return true;
    }
    Pause(10);
  }
  return false;
}

std::vector<std::string> ScriptedServer::Failures() {
  std::lock_guard<std::mutex> lock(mutex_);
  return failures_;
}

std::string ScriptedServer::Received(size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  return index < received_.size() ? received_[index] : std::string();
}

std::string ScriptedServer::DataOf(size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  return index < data_.size() ? data_[index] : std::string();
}

void ScriptedServer::Fail(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  failures_.push_back(std::move(text));
}

void ScriptedServer::Run() {
  size_t index = 0;
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    ++accepted_;
    bool scripted;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      scripted = index < scripts_.size();
    }
    if (!scripted) {
      Fail("unexpected connection " + std::to_string(index + 1));
      close(fd);
      continue;
    }
    Play(fd, index);
    close(fd);
    std::lock_guard<std::mutex> lock(mutex_);
    ++finished_;
    ++index;
  }
}

bool ScriptedServer::ReadLine(int fd, size_t index, std::string& line) {
  line.clear();
  while (line.size() < kLineLimit && !stop_) {
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, 20);
    if (r == 0) continue;
    char c;
    if (r < 0 || recv(fd, &c, 1, 0) != 1) return false;
    line += c;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      received_[index] += c;
    }
    if (c == '\n') return true;
  }
  return false;
}

void ScriptedServer::Play(int fd, size_t index) {
  Script script;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    script = scripts_[index];
  }
  std::string where = "session " + std::to_string(index + 1) + ", step ";
  for (size_t n = 0; n < script.size(); ++n) {
    const Step& step = script[n];
    switch (step.kind) {
      case Step::kSend: {
        size_t from = 0;
        for (size_t cut : step.cuts) {
          SendAll(fd, step.text.data() + from, cut - from);
          from = cut;
          Pause(step.pause_ms);
        }
        SendAll(fd, step.text.data() + from, step.text.size() - from);
        break;
      }
      case Step::kExpect: {
        std::string line;
        if (!ReadLine(fd, index, line) || line != step.text) {
          Fail(where + std::to_string(n + 1) + ": expected \"" + Printable(step.text) +
               "\", client sent \"" + Printable(line) + "\"");
          return;
        }
        break;
      }
      case Step::kExpectData: {
        std::string data, line;
        while (ReadLine(fd, index, line)) {
          data += line;
          if (data == ".\r\n" || data.ends_with("\r\n.\r\n")) break;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        data_[index] = data;
        break;
      }
      case Step::kStall:
        // A stall ends early when the client goes away.
        for (int waited = 0; waited < step.pause_ms && !stop_; waited += 10) {
          pollfd p{fd, POLLIN, 0};
          if (poll(&p, 1, 10) > 0) {
            char c;
            ssize_t r = recv(fd, &c, 1, MSG_PEEK);
            if (r <= 0) return;
            Pause(10);
          }
        }
        break;
      case Step::kDrop:
        return;
    }
  }
  // Keep what the client still sends until it closes, briefly.
  for (int idle = 0; idle < 100 && !stop_;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) == 0) {
      ++idle;
      continue;
    }
    char buffer[4096];
    ssize_t r = recv(fd, buffer, sizeof buffer, 0);
    if (r <= 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    received_[index].append(buffer, static_cast<size_t>(r));
  }
}

}  // namespace quillet::testing
