#include "engine/pop3_client.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/string_tests.h"
#include "compose/dates.h"
#include "engine/engine.h"
#include "platform/cancellation.h"
#include "transport/digests.h"

namespace quillet {
namespace {

constexpr char kPeerClosed[] = "Communication error. The server closed the connection.";
// Larger than any message the loader could hold.
constexpr long long kLargestRetrieval = 0x7FFFFFFFLL - 1048576;

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\r' || line[i] == '\n')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\r' && line[i] != '\n') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

void StoreUid(UidRecord& record, std::string_view uid) {
  std::memset(record.text, 0, kUidRecordSize);
  uid.substr(0, kMaxUidLength).copy(record.text, kMaxUidLength);
}

}  // namespace

int ParseCountReply(std::string_view reply) {
  if (reply.find("+OK") == std::string_view::npos) return -1;
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < reply.size() && reply[i] == ' ') ++i;
  };
  skip_blanks();
  while (i < reply.size() && reply[i] != ' ') ++i;  // the status token
  skip_blanks();
  if (i >= reply.size()) return -1;  // no count at all
  // The usual decimal conversion: an optional sign, then the leading digits.
  bool negative = reply[i] == '-';
  if (reply[i] == '-' || reply[i] == '+') ++i;
  long long value = 0;
  while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9') {
    value = value * 10 + (reply[i++] - '0');
    if (value > 0x7FFFFFFF) return -1;
  }
  return static_cast<int>(negative ? -value : value);
}

bool IsDeletableResult(uint32_t result) {
  return result == 0 || result == 2 || result == 7;
}

std::string ApopTimestamp(std::string_view greeting) {
  std::string stamp;
  bool copying = false;
  for (char c : greeting) {
    if (c == '<') copying = true;
    if (copying && stamp.size() < kApopTimestampLimit) stamp += c;
    if (c == '>') break;
  }
  return stamp;
}

bool EndOfMessage::Feed(std::string_view block) {
  label_state_ = state_;
  for (char c : block) {
    if (tail_size_ == 4) {
      std::memmove(tail_, tail_ + 1, 3);
      tail_size_ = 3;
    }
    tail_[tail_size_++] = c;
  }
  if (block.ends_with("\n.\r"))
    state_ = 1;
  else if (block.ends_with("\n."))
    state_ = 2;
  else if (block.ends_with("\n"))
    state_ = 3;
  else
    state_ = 0;
  return tail_size_ == 4 && std::memcmp(tail_, "\n.\r\n", 4) == 0;
}

const char* EndOfMessage::LastLabel() const {
  static const char* const kLabels[] = {"RNDRN(0)\r\n", "rndrN(1)\r\n", "rndRN(2)\r\n",
                                        "rnDRN(3)\r\n", "rNDRN(4)\r\n"};
  return kLabels[label_state_];
}

bool ListingReader::Feed(std::string_view block,
                         const std::function<void(std::string_view)>& line) {
  for (size_t i = 0; i < block.size(); ++i) {
    char c = block[i];
    if (c == '\n' && i > 0 && block[i - 1] == '\r') continue;
    if (c != '\r' && c != '\n') {
      if (current_.size() < kUidlLineLimit - 1) current_ += c;
      continue;
    }
    std::string done;
    done.swap(current_);
    if (done == ".") return true;
    if (first_line_) {
      first_line_ = false;
      continue;
    }
    line(done);
  }
  return false;
}

Pop3Client::Pop3Client(Engine& engine, SocketChannel& channel)
    : engine_(engine),
      channel_(channel),
      current_uids_(std::make_unique<std::array<UidRecord, kMaxUids>>()) {}

std::string Pop3Client::Name(int k) const {
  return std::string(GetText(engine_.settings.accounts[k].account_name));
}

void Pop3Client::Error(std::string_view text, int k) {
  engine_.RecordInfo(text, kKindError, k);
}

int Pop3Client::Send(int k, const std::string& command, int tag) {
  if (RunCancelled()) return -1;
  engine_.command = command;
  return channel_.SendText(engine_.mailbox(k).socket, engine_.command, tag);
}

int Pop3Client::ReadReply(int k, int tag) {
  engine_.reply.clear();
  return channel_.ReceiveReply(engine_.mailbox(k).socket, tag);
}

bool Pop3Client::Positive() const {
  return StartsWithNoCase(engine_.reply.c_str(), "+ok") != nullptr;
}

int Pop3Client::OpenRcvSession(int k) {
  Account& a = engine_.settings.accounts[k];
  MailboxState& st = engine_.mailbox(k);
  std::string name = Name(k);
  channel_.Trace("---- Quillet V3.47.1 starts POP3 session : " +
                 FormatDateStamp(engine_.clock().LocalTime()) + " ----\r\n");
  engine_.Status("[" + name + "] Connecting.....", kStatusConnecting);
  channel_.Trace("POP3: gethostbyname..\r\n");
  uint32_t address = 0;
  if (!ResolveIpv4(a.pop3_server, address)) {
    engine_.Status("Error:OpenRcvSession:gethostbyname:", kStatusError);
    channel_.Trace("Error:OpenRcvSession:gethostbyname:\r\n");
    Error(ErrorText(11001), k);
    return -1;
  }
  channel_.Trace("POP3: opening socket..\r\n");
  st.socket = channel_.OpenSocket();
  if (st.socket < 0) {
    engine_.Status("Error:OpenRcvSession:socket", kStatusError);
    channel_.Trace("Error:OpenRcvSession:socket\r\n");
    return -1;
  }
  channel_.Trace("POP3: connecting session..");
  if (channel_.Connect(st.socket, address, htons(static_cast<uint16_t>(a.pop3_port)),
                       a.nonblocking != 0, "Error:OpenRcvSession:connect") < 0) {
    if (a.nonblocking == 0)
      st.socket = -1;  // a failed blocking connect has closed it
    else
      CloseSession(k, false);
    return -1;
  }
  // From here on a failed open closes its socket, so none is left behind.
  auto fail = [&] {
    CloseSession(k, false);
    return -1;
  };
  // A negative reply: the client's own words (if any), then the server's.
  auto refused = [&](const char* why) {
    if (why != nullptr) Error(why, k);
    Error(engine_.reply, k);
    return fail();
  };
  channel_.Trace("\r\n");
  channel_.Trace("POP3: receiving response of connect..\r\n");
  if (ReadReply(k) < 0) return fail();
  if (!Positive()) return refused(nullptr);
  engine_.Status("[" + name + "] Authorizing... # ", kStatusConnecting);
  if (a.use_apop != 0) {
    std::string stamp = ApopTimestamp(engine_.reply) + std::string(GetText(a.pop3_password));
    std::string digest = ApopDigest(stamp);
    if (Send(k, "APOP " + std::string(GetText(a.pop3_user)) + " " + digest + "\r\n", kTagApop) <
            0 ||
        ReadReply(k, kTagApop) < 0)
      return fail();
    if (!Positive()) return refused("User name is incorrect.");
    engine_.Status("[" + name + "] Authorizing... ## ", kStatusConnecting);
  } else {
    if (Send(k, "USER " + std::string(GetText(a.pop3_user)) + "\r\n") < 0 || ReadReply(k) < 0)
      return fail();
    if (!Positive()) return refused("User name is incorrect.");
    engine_.Status("[" + name + "] Authorizing... ## ", kStatusConnecting);
    if (Send(k, "PASS " + std::string(GetText(a.pop3_password)) + "\r\n", kTagPass) < 0 ||
        ReadReply(k) < 0)
      return fail();
    if (!Positive()) return refused("User name or password is incorrect");
    engine_.Status("[" + name + "] Receiving... ### ", kStatusReceiving);
  }
  engine_.Sleep(300);
  if (Send(k, "STAT\r\n") < 0 || ReadReply(k) < 0) return fail();
  if (!Positive()) return refused(nullptr);
  int count = ParseCountReply(engine_.reply);
  if (count < 0) return fail();
  st.message_count = count;
  return count;
}

void Pop3Client::CloseSession(int k, bool polite) {
  MailboxState& st = engine_.mailbox(k);
  int fd = st.socket;
  if (fd < 0) return;
  if (polite && Send(k, "QUIT\r\n", kTagQuit) >= 0) {
    ReadReply(k, kTagQuit);
    engine_.Status("Closing.....", kStatusTextOnly);
  }
  channel_.CloseSocket(fd);
  // A cancelled run clears only its own socket: a fresh worker may own the field by now.
  if (!RunCancelled() || st.socket == fd) st.socket = -1;
}

int Pop3Client::ReadListing(int k, const std::function<void(std::string_view)>& line) {
  ListingReader reader;
  for (;;) {
    if (reader.Feed(engine_.reply, line)) return 1;
    if (ReadReply(k) < 0) return -1;
  }
}

void Pop3Client::UidlRefused(int k) {
  Error("POP server cannot accept UIDL command.  The UIDL command will not be used.", k);
  Error(engine_.reply, k);
  engine_.settings.accounts[k].no_uidl = 1;  // by position from now on
}

void Pop3Client::TooManyMails(int k) {
  MailboxState& st = engine_.mailbox(k);
  if (st.too_many_reported == 0) {
    st.too_many_reported = 1;
    char text[128];
    std::snprintf(text, sizeof text,
                  "Too many mails in the mailbox. (MAX:%d mails) The filtering option by history "
                  "may not work.",
                  kMaxUids);
    Error(text, k);
  }
  engine_.settings.accounts[k].no_uidl = 1;
}

int Pop3Client::ListUids(int k) {
  Account& a = engine_.settings.accounts[k];
  MailboxState& st = engine_.mailbox(k);
  if (a.no_uidl != 0) return 1;
  engine_.Status("[" + Name(k) + "] Receiving... UIDL.. ", kStatusReceiving);
  if (Send(k, "UIDL\r\n") < 0 || ReadReply(k) < 0) return -1;
  if (!Positive()) {
    UidlRefused(k);
    return 1;
  }
  std::memset(current_uids_->data(), 0, sizeof(UidRecord) * kMaxUids);
  return ReadListing(k, [&](std::string_view line) {
    std::vector<std::string_view> tokens = Tokens(line);
    if (tokens.size() < 2) return;
    int n = 0;
    for (char c : tokens[0]) {
      if (c < '0' || c > '9' || n > kMaxUids) return;
      n = n * 10 + (c - '0');
    }
    if (n < 1 || n > kMaxUids) return;
    if (st.uid_count < kMaxUids)
      StoreUid((*current_uids_)[n - 1], tokens[1]);
    else
      TooManyMails(k);
  });
}

int Pop3Client::SnapshotUids(int k) {
  Account& a = engine_.settings.accounts[k];
  MailboxState& st = engine_.mailbox(k);
  if (OpenRcvSession(k) < 0) {
    engine_.Status("ERROR: OpenRcvSession.", kStatusError);
    Error("Can't connect to the POP server", k);
    return -1;
  }
  st.first_index = 0;
  if (a.no_uidl != 0) {
    CloseSession(k, true);
    return 1;
  }
  engine_.Status("[" + Name(k) + "] Receiving... UIDL.. ", kStatusReceiving);
  if (Send(k, "UIDL\r\n") < 0 || ReadReply(k) < 0) return -1;
  if (!Positive()) {
    UidlRefused(k);
    CloseSession(k, true);
    return 1;
  }
  st.uid_count = 0;
  int r = ReadListing(k, [&](std::string_view line) {
    std::vector<std::string_view> tokens = Tokens(line);
    if (tokens.size() < 2) return;
    if (st.uid_count < kMaxUids)
      StoreUid(st.uid_records[st.uid_count++], tokens[1]);
    else
      TooManyMails(k);
  });
  if (r < 0) return -1;
  CloseSession(k, true);
  return 1;
}

int Pop3Client::ReceiveMessage(int k, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    // Reading on would take the message for the next reply: give up instead.
    engine_.RecordInfo("Error: Cannot open or allocate temporary file", kKindError, -1);
    return -1;
  }
  int level = engine_.settings.global.receive_buffer_level;
  size_t length = static_cast<size_t>(level < 1 || level > 8 ? 1 : level) * 1024;
  std::vector<char> block(length);
  EndOfMessage end;
  long long total = 0;
  int result = 1;
  std::string name = Name(k);
  for (;;) {
    engine_.Touch();
    int n = channel_.ReceiveBlock(engine_.mailbox(k).socket, block.data(), length, kTagNone);
    if (n < 0) {
      result = -1;
      break;
    }
    if (n == 0) {
      Error(kPeerClosed, -1);
      result = -1;
      break;
    }
    total += n;
    if (std::fwrite(block.data(), 1, static_cast<size_t>(n), file) != static_cast<size_t>(n)) {
      engine_.RecordInfo("Error: Cannot write temporary file " + path, kKindError, -1);
      result = -1;
      break;
    }
    if (end.Feed(std::string_view(block.data(), static_cast<size_t>(n)))) break;
    if (total > kLargestRetrieval) {
      engine_.RecordInfo("Error: The message is too large to be retrieved.", kKindError, k);
      result = -1;
      break;
    }
    engine_.Status("[" + name + "] Receiving... " + std::to_string(total) + " byte ",
                   kStatusTextOnly);
  }
  if (std::fclose(file) != 0 && result == 1) {
    engine_.RecordInfo("Error: Cannot write temporary file " + path, kKindError, -1);
    result = -1;
  }
  if (result < 0) return -1;
  channel_.Trace(std::string("POP3: ") + end.LastLabel());
  return 1;
}

int Pop3Client::RetrieveNewMessages(int k) {
  Account& a = engine_.settings.accounts[k];
  MailboxState& st = engine_.mailbox(k);
  if (a.no_uidl == 0 && ListUids(k) != 1) a.no_uidl = 1;
  if (a.no_uidl == 0) {
    for (int i = st.first_index; i < st.message_count && i < kMaxUids; ++i) {
      st.is_new[i] = 1;
      for (int j = 0; j < st.uid_count; ++j) {
        if (std::strcmp((*current_uids_)[i].text, st.uid_records[j].text) == 0) {
          st.is_new[i] = 0;
          break;
        }
      }
    }
  }
  std::string name = Name(k);
  for (int p = st.first_index; p < st.message_count; ++p) {
    engine_.Touch();
    int m = a.pop_reverse_order != 0 ? st.message_count - 1 - p : p;
    if (a.no_uidl == 0 && (m >= kMaxUids || st.is_new[m] == 0)) continue;
    engine_.Sleep(250);
    engine_.Touch();
    if (Send(k, "LIST " + std::to_string(m + 1) + "\r\n") < 0 || ReadReply(k) < 0) return -1;
    if (!Positive()) {
      Error(engine_.reply, k);
      return -1;
    }
    engine_.Status("[" + name + "] Receiving... #### ", kStatusReceiving);
    if (Send(k, "RETR " + std::to_string(m + 1) + "\r\n") < 0) return -1;
    if (ReceiveMessage(k, engine_.TempMessagePath(m + 1)) < 0) return -1;
    engine_.Status("Completed.", kStatusTextOnly);
  }
  if (RunCancelled()) return -1;
  if (a.no_uidl == 0) {
    for (int i = st.first_index; i < st.message_count && i < kMaxUids; ++i)
      st.uid_records[i] = (*current_uids_)[i];
    st.first_index = 0;
    st.uid_count = st.message_count < kMaxUids ? st.message_count : kMaxUids;
  }
  return 1;
}

int Pop3Client::DeleteForwarded(int k) {
  Account& a = engine_.settings.accounts[k];
  MailboxState& st = engine_.mailbox(k);
  // Positions beyond the count of the pass hold mail that arrived since: it was
  // never retrieved, so it is never deleted, whatever the settings say.
  int pass_count = st.message_count;
  if (OpenRcvSession(k) < 0) {
    engine_.Status("ERROR: OpenRcvSession.", kStatusError);
    Error("Can't connect to the POP server", k);
    return 0;
  }
  engine_.Status("[" + Name(k) + "] Deleting mails..", kStatusConnecting);
  int limit = st.message_count < pass_count ? st.message_count : pass_count;
  int deleted = 0;
  for (int p = st.first_index; p < limit; ++p) {
    bool deletable = p < kMaxUids && IsDeletableResult(engine_.pass_results[p]);
    if (a.delete_all_mail == 0 && !deletable) continue;
    // Positions count as in the pass, also in reverse order.
    int m = a.pop_reverse_order != 0 ? pass_count - 1 - p : p;
    engine_.Sleep(100);
    if (Send(k, "DELE " + std::to_string(m + 1) + "\r\n") < 0 || ReadReply(k) < 0) return -1;
    ++deleted;
  }
  CloseSession(k, true);
  if (RunCancelled()) return -1;
  st.message_count = st.message_count - deleted < 0 ? 0 : st.message_count - deleted;
  st.first_index = a.no_uidl != 0 ? st.message_count : 0;
  return 1;
}

int Pop3Client::DeleteAll(int k) {
  Account& a = engine_.settings.accounts[k];
  MailboxState& st = engine_.mailbox(k);
  if (OpenRcvSession(k) < 0) {
    engine_.Status("ERROR: OpenRcvSession.", kStatusError);
    Error("Can't connect to the POP server", k);
    return 0;
  }
  engine_.Status("[" + Name(k) + "] Deleting mails..", kStatusConnecting);
  for (int i = 0; i < st.message_count; ++i) {
    int m = a.pop_reverse_order != 0 ? st.message_count - 1 - i : i;
    engine_.Sleep(100);
    if (Send(k, "DELE " + std::to_string(m + 1) + "\r\n") < 0 || ReadReply(k) < 0) return -1;
  }
  CloseSession(k, true);
  st.message_count = 0;
  st.first_index = 0;
  return 1;
}

}  // namespace quillet
