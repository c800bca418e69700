#include "transport/socket_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "compose/dates.h"
#include "engine/engine.h"
#include "platform/cancellation.h"

namespace quillet {
namespace {

struct ErrorEntry {
  int code;
  const char* text;
};

constexpr ErrorEntry kErrorTexts[] = {
    {6, ": Specified event object handle is invalid."},
    {8, ": Insufficient memory available."},
    {87, ": One or more parameters are invalid."},
    {995, ": Overlapped operation aborted."},
    {996, ": Overlapped I/O event object not in signaled state."},
    {997, ": Overlapped operations will complete later."},
    {10004, ": Interrupted function call."},
    {10013, ": Permission denied."},
    {10014, ": Bad address."},
    {10022, ": Invalid argument."},
    {10024, ": Too many open files."},
    {10035, ": Resource temporarily unavailable."},
    {10036, ": Operation now in progress."},
    {10037, ": Operation already in progress."},
    {10038, ": Socket operation on non-socket."},
    {10039, ": Destination address required."},
    {10040, ": Message too long."},
    {10041, ": Protocol wrong type for socket."},
    {10042, ": Bad protocol option."},
    {10043, ": Protocol not supported."},
    {10044, ": Socket type not supported."},
    {10045, ": Operation not supported."},
    {10046, ": Protocol family not supported."},
    {10047, ": Address family not supported by protocol family."},
    {10048, ": Address already in use."},
    {10049, ": Cannot assign requested address."},
    {10050, ": Network is down."},
    {10051, ": Network is unreachable."},
    {10052, ": Network dropped connection on reset."},
    {10053, ": Software caused connection abort."},
    {10054, ": Connection reset by peer."},
    {10055, ": No buffer space available."},
    {10056, ": Socket is already connected."},
    {10057, ": Socket is not connected."},
    {10058, ": Cannot send after socket shutdown."},
    {10060, ": Connection timed out."},
    {10061, ": Connection refused."},
    {10064, ": Host is down."},
    {10065, ": No route to host."},
    {10067, ": Too many processes."},
    {10091, ": Network subsystem is unavailable."},
    {10092, ": WINSOCK.DLL version out of range."},
    {10093, ": Successful WSAStartup not yet performed."},
    {10101, ": Graceful shutdown in progress."},
    {10107, ": System call failure."},
    {10109, ": Class type not found."},
    {11001, ": Host not found."},
    {11002, ": Non-authoritative host not found."},
    {11003, ": This is a non-recoverable error."},
    {11004, ": Valid name, no data record of requested type."},
};

const char* SendLabel(int tag) {
  static const char* const kLabels[] = {"", "SMTP:", "POP3:", "****:", "POP3:", "APOP:", "SMTP:"};
  return tag >= 0 && tag <= 6 ? kLabels[tag] : "";
}
const char* ReplyLabel(int tag) {
  static const char* const kLabels[] = {"", "SMTP:", "POP3:", "****:", "****:", "APOP:", "SMTP:"};
  return tag >= 0 && tag <= 6 ? kLabels[tag] : "";
}
const char* RetryLabel(int tag) {
  static const char* const kLabels[] = {"", "SMTP:", "POP3:", "****:", "****:", "****:", "SMTP:"};
  return tag >= 0 && tag <= 6 ? kLabels[tag] : "";
}

bool IsBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_NONBLOCK) == 0;
}

// The code of the last socket error. A blocking socket whose time-out expired
// reports EAGAIN here, where the original platform reports a time-out.
int LastError(int fd, int err) {
  if ((err == EAGAIN || err == EWOULDBLOCK) && IsBlocking(fd)) return kWsaTimedOut;
  return WsaCodeFromErrno(err);
}

constexpr char kPeerClosed[] = "Communication error. The server closed the connection.";
constexpr char kReplyTooLong[] = "Communication error. The reply of the server is too long.";
constexpr size_t kReplyChunk = 4096;

}  // namespace

int WsaCodeFromErrno(int err) {
  switch (err) {
    case ENOMEM:
      return 8;
    case EINTR:
      return 10004;
    case EACCES:
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
      return kWsaWouldBlock;
    case EINPROGRESS:
      return kWsaWouldBlock;  // a pending non-blocking connect
    case EALREADY:
      return 10037;
    case ENOTSOCK:
    case EBADF:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
    case EPIPE:
      return 10054;
    case ENOBUFS:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return 10058;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    default:
      return err;
  }
}

std::string ErrorText(int code) {
  for (const ErrorEntry& e : kErrorTexts)
    if (e.code == code) return std::string("Communication error.") + e.text;
  return "Communication error. code=" + std::to_string(code);
}

int SocketChannel::OpenSocket() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0) {
    if (CancelToken* token = CurrentCancelToken()) token->AddSocket(fd);
  }
  return fd;
}

void SocketChannel::CloseSocket(int fd) {
  if (fd < 0) return;
  if (CancelToken* token = CurrentCancelToken()) token->RemoveSocket(fd);
  close(fd);
}

namespace {

// Waits for `events` on `fd` for at most `timeout_ms` (-1: no limit); 0 on
// time-out, -1 on error or when the run is cancelled, else positive.
int PollCancellable(int fd, short events, int timeout_ms) {
  CancelToken* token = CurrentCancelToken();
  pollfd p[2] = {{fd, events, 0}, {token != nullptr ? token->event_fd() : -1, POLLIN, 0}};
  int r;
  do {
    r = poll(p, token != nullptr && token->event_fd() >= 0 ? 2 : 1, timeout_ms);
  } while (r < 0 && errno == EINTR);
  if (RunCancelled()) return -1;
  return r;
}

}  // namespace

uint32_t SocketChannel::TimeoutMs() const {
  const GlobalSettings& g = engine_.settings.global;
  if (g.custom_timeout == 0) return 60000;
  return g.timeout_seconds < 0 ? 0u : static_cast<uint32_t>(g.timeout_seconds) * 1000u;
}

int SocketChannel::WaitSeconds() const {
  const GlobalSettings& g = engine_.settings.global;
  if (g.custom_timeout == 0) return 60;
  return g.timeout_seconds <= 0 ? 3600 : g.timeout_seconds;
}

void SocketChannel::Trace(std::string_view text) {
  engine_.Trace(text);
}

std::string SocketChannel::TimeStamp() {
  return FormatTimeStamp(engine_.clock().LocalTime());
}

void SocketChannel::ReportError(const std::string& text, const char* trace_detail) {
  engine_.RecordInfo(text, kKindError, -1);
  Trace(std::string("ERROR REPORT: ") + (trace_detail != nullptr ? trace_detail : text.c_str()) +
        "\r\n");
}

int SocketChannel::Connect(int fd, uint32_t ipv4, uint16_t port, bool nonblocking,
                           const std::string& blocking_error) {
  uint32_t timeout = TimeoutMs();
  timeval tv{static_cast<time_t>(timeout / 1000), static_cast<suseconds_t>(timeout % 1000 * 1000)};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = ipv4;
  addr.sin_port = port;
  if (!nonblocking) {
    Trace("[Blk-Mode]");
    // Connected without blocking underneath, so that a cancelled run never
    // hangs in connect(); the socket is blocking again afterwards.
    int flags = fcntl(fd, F_GETFL);
    int code = 0;
    if (flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0) {
      if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        code = WsaCodeFromErrno(errno);
        if (code == kWsaWouldBlock) {
          int r = PollCancellable(fd, POLLOUT, timeout == 0 ? -1 : static_cast<int>(timeout));
          int so_error = 0;
          socklen_t len = sizeof so_error;
          if (r <= 0)
            code = kWsaTimedOut;
          else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0)
            code = WsaCodeFromErrno(errno);
          else
            code = so_error != 0 ? WsaCodeFromErrno(so_error) : 0;
        }
      }
      fcntl(fd, F_SETFL, flags);
    } else {
      code = WsaCodeFromErrno(errno);
    }
    if (code != 0) {
      engine_.Status(blocking_error, kStatusError);
      CloseSocket(fd);
      Trace(blocking_error + "\r\n");
      engine_.RecordInfo(ErrorText(code), kKindError, -1);
      return -1;
    }
    Trace("\r\n");
    return 1;
  }
  Trace("[Non-Blk-Mode]");
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    Trace("[error:ioctlsocket]\r\n");
    return -1;
  }
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int code = WsaCodeFromErrno(errno);
    if (code != kWsaWouldBlock) {
      // Said now rather than at the first receive, where only "not connected" would show.
      Trace("\r\n");
      ReportError(ErrorText(code));
      return -1;
    }
    uint32_t start = engine_.clock().TickCount();
    int ready;
    do {
      ready = PollCancellable(fd, POLLOUT, 0);
      if (ready < 0 && RunCancelled()) return -1;
      engine_.Sleep(100);
      if (engine_.clock().TickCount() - start > timeout) {
        Trace("<timeout>\r\n");
        engine_.RecordInfo("Receiving timeout : connect() failed", kKindError, -1);
        return -1;
      }
      Trace("#");
    } while (ready == 0);
    int so_error = 0;
    socklen_t len = sizeof so_error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0) {
      Trace("[error:getsockopt]\r\n");
      return -1;
    }
    if (so_error != 0) {
      Trace("\r\n");
      ReportError(ErrorText(WsaCodeFromErrno(so_error)));
      return -1;
    }
  }
  Trace("\r\n");
  return 1;
}

int SocketChannel::WaitReadable(int fd) {
  if (RunCancelled()) return -1;
  int r = fd >= 0 ? PollCancellable(fd, POLLIN, WaitSeconds() * 1000) : -1;
  if (RunCancelled()) return -1;
  engine_.Sleep(20);
  if (r > 0) return 1;
  if (r == 0) {
    ReportError("Receiving timeout : code=02", "select()=TIMEOUT");
    return -1;
  }
  ReportError("Receiving error : code=03", "select()=SOCKET_ERROR");
  return -1;
}

long SocketChannel::RetryingReceive(int fd, char* buffer, size_t length, int tag,
                                    const char* retry_line, int& error) {
  uint32_t start = engine_.clock().TickCount();
  uint32_t window = TimeoutMs();
  for (;;) {
    std::memset(buffer, 0, length);
    long n = recv(fd, buffer, length, 0);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    error = LastError(fd, errno);
    if (error != kWsaWouldBlock) return -1;
    if (tag != kTagNone) Trace(std::string(RetryLabel(tag)) + TimeStamp() + retry_line);
    engine_.Sleep(100);
    if (engine_.clock().TickCount() - start > window) return -1;
  }
}

int SocketChannel::ReceiveBlock(int fd, char* buffer, size_t length, int tag) {
  if (RunCancelled() || WaitReadable(fd) < 0) return -1;
  int error = 0;
  long n = RetryingReceive(fd, buffer, length, tag, "[recv]: temporary error : retry\r\n", error);
  if (tag != kTagNone && n >= 0)
    Trace(std::string(RetryLabel(tag)) + TimeStamp() + "[<-]" +
          std::string(buffer, static_cast<size_t>(n)));
  if (n < 0) {
    ReportError(ErrorText(error));
    return -1;
  }
  return static_cast<int>(n);
}

int SocketChannel::ReceiveReply(int fd, int tag) {
  std::string& reply = engine_.reply;
  if (RunCancelled()) return -1;
  reply.clear();
  char chunk[kReplyChunk + 1];
  long n = 0;
  do {
    if (WaitReadable(fd) < 0) return -1;
    int error = 0;
    n = RetryingReceive(fd, chunk, kReplyChunk, tag, "[recv]: temporary error : retry", error);
    if (n < 0) {
      ReportError(ErrorText(error));
      return -1;
    }
    if (n == 0) {
      // The server went away before the line was complete.
      ReportError(kPeerClosed);
      return -1;
    }
    size_t room = kReplyBufferSize - reply.size();
    reply.append(chunk, static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room);
    if (reply.size() >= kReplyBufferSize && !reply.ends_with("\r\n")) {
      ReportError(kReplyTooLong);
      return -1;
    }
  } while (!reply.ends_with("\r\n"));
  if (tag != kTagNone) Trace(std::string(ReplyLabel(tag)) + TimeStamp() + "[<-]" + reply);
  return static_cast<int>(n);
}

int SocketChannel::SendText(int fd, std::string_view text, int tag, std::string_view masked) {
  if (RunCancelled()) return -1;
  std::string stamp = TimeStamp();
  uint32_t start = engine_.clock().TickCount();
  uint32_t window = TimeoutMs();
  size_t sent = 0;
  int error = 0;
  while (sent < text.size()) {
    long n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);  // a short send goes on with the rest
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    error = n < 0 ? LastError(fd, errno) : 10054;
    if (error != kWsaWouldBlock) break;
    if (tag != kTagNone)
      Trace(std::string(RetryLabel(tag)) + TimeStamp() + "[send]: temporary error : retry");
    engine_.Sleep(100);
    if (engine_.clock().TickCount() - start > window) break;
  }
  if (tag != kTagNone) {
    std::string_view shown = text;
    if (tag == kTagPass) shown = "PASS *****\r\n";
    if (tag == kTagApop) shown = "APOP ***** *****\r\n";
    if (tag == kTagSmtpSecret) shown = masked;
    Trace(std::string(SendLabel(tag)) + stamp + "[->]" + std::string(shown));
  }
  if (sent < text.size()) {
    if (error == kWsaTimedOut)
      ReportError("Receiving timeout : code=01", "WSAETIMEDOUT");
    else
      ReportError(ErrorText(error));
    return -1;
  }
  return static_cast<int>(sent);
}

}  // namespace quillet
