#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

class Engine;

// Traffic tags: whether and how an exchange is traced.
enum TrafficTag : int {
  kTagNone = 0,
  kTagSmtp = 1,
  kTagPop3 = 2,
  kTagQuit = 3,
  kTagPass = 4,
  kTagApop = 5,
  // An SMTP line that carries the relay password: traced as "SMTP:" with the
  // masked text the caller gives, never in clear or in Base64.
  kTagSmtpSecret = 6,
};

// Winsock-style error codes, used for the error texts.
inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaTimedOut = 10060;

// Maps an errno value onto the Winsock code of the error-text table; values
// without a counterpart are returned unchanged.
int WsaCodeFromErrno(int err);
// "Communication error." and the text for the code.
std::string ErrorText(int code);

// The thin layer under both mail protocols: connect with a time-out, wait for
// data, receive a block or a whole reply, send, and trace every exchange.
// Failures are recorded as error entries (no account) and give -1.
class SocketChannel {
 public:
  explicit SocketChannel(Engine& engine) : engine_(engine) {}

  // Send/receive time-out in milliseconds.
  uint32_t TimeoutMs() const;
  // Readiness wait in seconds.
  int WaitSeconds() const;

  // `ipv4` and `port` in network byte order. `blocking_error` is shown and
  // traced when a blocking connect fails.
  int Connect(int fd, uint32_t ipv4, uint16_t port, bool nonblocking,
              const std::string& blocking_error);
  int WaitReadable(int fd);
  // One raw receive of up to `length` bytes; the count, 0 when the peer has
  // closed the connection, or -1.
  int ReceiveBlock(int fd, char* buffer, size_t length, int tag);
  // Receives into the engine's reply until it ends with CR LF; the count of the
  // last receive, or -1 (also when the peer closes or the reply overflows).
  int ReceiveReply(int fd, int tag);
  // Sends all `text`; `masked` is what the trace shows for secret lines.
  int SendText(int fd, std::string_view text, int tag, std::string_view masked = {});

  // Traces a text when debug logging is on.
  void Trace(std::string_view text);

  // A new IPv4 stream socket, known to the run's cancel token; -1 on failure.
  int OpenSocket();
  // Closes a socket of OpenSocket.
  void CloseSocket(int fd);

 private:
  std::string TimeStamp();
  void ReportError(const std::string& text, const char* trace_detail = nullptr);
  // recv with the retry window for temporary errors; sets `error` on -1.
  long RetryingReceive(int fd, char* buffer, size_t length, int tag, const char* retry_line,
                       int& error);

  Engine& engine_;
};

}  // namespace quillet
