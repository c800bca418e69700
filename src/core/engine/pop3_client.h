#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/mailbox_state.h"
#include "transport/socket_channel.h"

namespace quillet {

class Engine;

inline constexpr size_t kUidlLineLimit = 4096;
inline constexpr size_t kApopTimestampLimit = 255;

// The second blank-separated token of a reply that holds "+OK", as a decimal
// count; -1 without "+OK", without a second token or with no digits.
int ParseCountReply(std::string_view reply);
// Only forwarded mail (results 0, 2 and 7) may be deleted after a pass.
bool IsDeletableResult(uint32_t result);
// The APOP time stamp of a greeting: from the first "<" through the next ">".
std::string ApopTimestamp(std::string_view greeting);

// Recognises the end of a retrieved message across blocks. The message is
// complete when the stream received so far ends with "\n.\r\n", however the
// terminator was split; the state kept for the trace is the classic one.
class EndOfMessage {
 public:
  // Feeds one block; true when the message is complete.
  bool Feed(std::string_view block);
  // Trace label of the state before the last block.
  const char* LastLabel() const;

 private:
  int state_ = 0;
  int label_state_ = 0;
  char tail_[4] = {};
  size_t tail_size_ = 0;
};

// Splits a UIDL listing into lines across blocks. CR or LF ends a line; an LF
// right after a CR in the same block is skipped. Lines are cut at the limit.
class ListingReader {
 public:
  // Calls `line` for every completed line; stops and returns true at the "." line.
  bool Feed(std::string_view block, const std::function<void(std::string_view)>& line);

 private:
  std::string current_;
  bool first_line_ = true;
};

// The POP3 side of the forwarding pass.
class Pop3Client {
 public:
  Pop3Client(Engine& engine, SocketChannel& channel);

  int OpenRcvSession(int k);
  void CloseSession(int k, bool polite);
  int ListUids(int k);
  int SnapshotUids(int k);
  int RetrieveNewMessages(int k);
  int DeleteForwarded(int k);
  int DeleteAll(int k);

 private:
  int Send(int k, const std::string& command, int tag = kTagPop3);
  int ReadReply(int k, int tag = kTagPop3);
  bool Positive() const;
  std::string Name(int k) const;
  void Error(std::string_view text, int k);
  // Reads the rest of a UIDL listing whose first block is in the reply.
  int ReadListing(int k, const std::function<void(std::string_view)>& line);
  void TooManyMails(int k);
  void UidlRefused(int k);
  // Receives one message after RETR into `path`; 1 or -1.
  int ReceiveMessage(int k, const std::string& path);

  Engine& engine_;
  SocketChannel& channel_;
  std::unique_ptr<std::array<UidRecord, kMaxUids>> current_uids_;
};

}  // namespace quillet
