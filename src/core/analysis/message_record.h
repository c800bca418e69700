#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace quillet {

inline constexpr int kMaxParts = 100;
inline constexpr int kMaxBoundaries = 10;
inline constexpr size_t kBoundarySlotSize = 65536;
inline constexpr size_t kPartNameSize = 256;
inline constexpr uint32_t kCodeAbsent = 99;

// Result codes of a handled message.
enum ResultCode : uint32_t {
  kResultForwarded = 0,
  kResultNotForwarded = 1,
  kResultAttachmentsRemoved = 2,
  kResultInformation = 3,
  kResultError = 4,
  kResultInHistory = 5,
  kResultMobile = 7,
  kResultFilteredContentType = 8,
  kResultFilteredFrom = 9,
  kResultFilteredTo = 10,
  kResultFilteredCc = 11,
  kResultFilteredSubject = 12,
  kResultFilteredMailer = 13,
  kResultFilteredDate = 14,
  kResultNoMatch = 16,
  kResultStopHour = 17,
};

// The plain fields of the message being processed. Header pointers point into
// `text`; everything is zero/null before a message is loaded.
struct MessageFields {
  int32_t fileSize = 0;
  uint32_t messageIndex = 0;
  uint32_t resultCode = 0;
  char* text = nullptr;
  char* subject = nullptr;
  char* body = nullptr;
  char* from = nullptr;
  char* cc = nullptr;
  char* to = nullptr;
  char* replyTo = nullptr;
  char* mimeVersion = nullptr;
  char* contentType = nullptr;
  char* contentTransferEncoding = nullptr;
  char* contentDisposition = nullptr;
  char* messageId = nullptr;
  char* date = nullptr;
  char* inReplyTo = nullptr;
  char* references = nullptr;
  char* xPriority = nullptr;
  char* xMsmailPriority = nullptr;
  char* priority = nullptr;
  char* xMailer = nullptr;
  uint16_t isMultipart = 0;
  int32_t partCount = 0;
  int32_t boundaryCount = 0;
  std::array<char*, kMaxParts> partHeader{};
  std::array<char*, kMaxParts> partBody{};
  std::array<int32_t, kMaxParts> partBoundary{};
  std::array<uint32_t, kMaxParts> partType{};
  std::array<uint32_t, kMaxParts> partEncoding{};
  std::array<uint32_t, kMaxParts> partCharset{};
  std::array<uint32_t, kMaxParts> partNamed{};
  std::array<std::array<char, kPartNameSize>, kMaxParts> partName{};
  uint32_t bodyCharset = 0;
  uint32_t bodyEncoding = 0;
  uint32_t bodyType = 0;
  int16_t pieceCount = 0;
  uint32_t capacity = 0;
};

using BoundaryTable = std::array<std::array<char, kBoundarySlotSize>, kMaxBoundaries>;

// The one record of the message being processed; it owns the text buffer.
struct MessageRecord : MessageFields {
  // Boundary slots are large, so they are allocated once per record.
  std::unique_ptr<BoundaryTable> boundaries = std::make_unique<BoundaryTable>();
  std::unique_ptr<char[]> buffer;
  size_t bufferSize = 0;

  // Zeroes every field and the boundary slots; releases the text buffer.
  void Clear();
};

}  // namespace quillet
