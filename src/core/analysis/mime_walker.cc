#include "analysis/mime_walker.h"

#include <cstdio>
#include <cstring>

#include "analysis/charset.h"
#include "analysis/filters.h"
#include "analysis/html_text.h"
#include "analysis/string_tests.h"
#include "engine/engine.h"

namespace quillet {
namespace {

bool Has(const char* line, const char* pattern) {
  return FindNoCase(line, pattern) != nullptr;
}

// Writes `text` over `dst`, which has `room` bytes including its NUL.
void Store(char* dst, size_t room, const std::string& text) {
  if (dst == nullptr || room == 0) return;
  size_t n = text.size() < room - 1 ? text.size() : room - 1;
  std::memcpy(dst, text.data(), n);
  dst[n] = '\0';
}

uint32_t TypeOf(const char* content_type) {
  if (Has(content_type, "text/plain")) return 1;
  if (Has(content_type, "text/html")) return 2;
  return 98;
}

uint32_t EncodingOf(const char* transfer_encoding) {
  if (Has(transfer_encoding, "base64")) return kEncodingBase64;
  if (Has(transfer_encoding, "quoted-printable")) return kEncodingQuotedPrintable;
  if (Has(transfer_encoding, "7bit")) return kEncoding7bit;
  if (Has(transfer_encoding, "8bit")) return kEncoding8bit;
  return kEncodingAbsent;
}

uint32_t CharsetOf(const char* content_type) {
  static const struct {
    const char* name;
    uint32_t code;
  } kNames[] = {{"us-ascii", kCharsetAscii},  {"iso-8859", kCharsetLatin},
                {"shift-jis", kCharsetSjis},  {"shift_jis", kCharsetSjis},
                {"iso-2022-jp", kCharsetJis}, {"big5", kCharsetBig5},
                {"gb2312", kCharsetGb2312},   {"hz-gb-2312", kCharsetHz}};
  for (const auto& n : kNames)
    if (Has(content_type, n.name)) return n.code;
  return kCharsetAbsent;
}

void UndoEncoding(char* text, uint32_t encoding) {
  if (encoding == kEncodingQuotedPrintable) DecodeQuotedPrintableInPlace(text);
  if (encoding == kEncodingBase64) DecodeBase64InPlace(text);
}

bool OverLimit(const MessageRecord& r, const Account& a) {
  return a.size_filter != 0 &&
         static_cast<int64_t>(r.fileSize) > static_cast<int64_t>(a.size_limit_kb) * 1024;
}

size_t BodyLength(const MessageRecord& r) {
  return r.body != nullptr ? std::strlen(r.body) : 0;
}

void SetPlainCodes(MessageRecord& r) {
  r.bodyType = 1;
  r.bodyEncoding = 1;
  r.bodyCharset = 1;
}

void ImageRule(MessageRecord& r, const Account& a) {
  size_t length = BodyLength(r);
  if (a.omit_removed_file_info == 0 && length >= 22) {
    Store(r.body, length + 1, "(IMAGE_REMOVED)\r\n");
    SetPlainCodes(r);
  } else if (length >= 5) {
    Store(r.body, length + 1, "\r\n");
    SetPlainCodes(r);
  }
}

// The value of a quoted parameter such as name="..." (at most 255 bytes).
std::string QuotedParameter(const char* text, const char* parameter) {
  const char* at = FindNoCase(text, parameter);
  if (at == nullptr) return std::string();
  at += std::strlen(parameter);
  const char* end = std::strchr(at, '"');
  size_t n = end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at);
  return std::string(at, n < 255 ? n : 255);
}

void ShortRule(MessageRecord& r, size_t length) {
  if (length < 5) return;
  Store(r.body, length + 1, "\r\n");
  SetPlainCodes(r);
}

void FileNameRule(MessageRecord& r, const Account& a) {
  size_t length = BodyLength(r);
  std::string name = QuotedParameter(r.contentDisposition, "filename=\"");
  if (!name.empty()) {
    if (a.omit_removed_file_info != 0 || length < 25) return ShortRule(r, length);
    std::string decoded;
    DecodeHeaderText(name, decoded, true);
    if (decoded.size() > 511) decoded.resize(511);
    if (length <= decoded.size() + 26)
      Store(r.body, length + 1, "(FILE_REMOVED)\r\n");
    else
      Store(r.body, length + 1, "--REMOVED_FILE--\r\n" + decoded + "\r\n");
    return SetPlainCodes(r);
  }
  if (a.omit_removed_file_info == 0 && length >= 21) {
    Store(r.body, length + 1, "(FILE_REMOVED)\r\n");
    return SetPlainCodes(r);
  }
  ShortRule(r, length);
}

// HTML to text over a body or part in place; `room` bytes with the NUL.
uint32_t HtmlInPlace(char* text, size_t room, uint32_t charset) {
  std::string out;
  uint32_t code = HtmlToText(text, charset, out);
  Store(text, room, out);
  return code;
}

uint32_t WrapInPlace(char* text, size_t room, uint32_t charset, const Account& a) {
  std::string out;
  uint32_t code = WrapLines(text, room, charset, a, out);
  Store(text, room, out);
  return code;
}

// Converts a text body: undo the encoding, HTML to text when asked, fold.
void ConvertBody(MessageRecord& r, const Account& a, bool html, size_t wrap_room, bool wrap) {
  UndoEncoding(r.body, r.bodyEncoding);
  r.bodyEncoding = 1;
  if (html) r.bodyCharset = HtmlInPlace(r.body, r.capacity, r.bodyCharset);
  r.bodyType = 1;
  if (wrap) r.bodyCharset = WrapInPlace(r.body, wrap_room, r.bodyCharset, a);
}

int SinglePartComputer(MessageRecord& r, const Account& a) {
  bool over = OverLimit(r, a);
  if (over && a.size_filter_skip != 0) {
    r.resultCode = kResultNotForwarded;
    return 0;
  }
  if (over) {
    if (r.contentDisposition == nullptr) {
      if (Has(r.contentType, "image/")) ImageRule(r, a);
    } else if (Has(r.contentDisposition, "attachment")) {
      if (r.bodyType == 2 && a.forward_html != 0) {
        r.resultCode = kResultForwarded;
        return 1;
      }
      r.resultCode = kResultAttachmentsRemoved;
      if (r.body == nullptr) return 1;
      if (r.bodyType == 1 || r.bodyType == 2) {
        ConvertBody(r, a, r.bodyType == 2, BodyLength(r) + 1, false);
        r.bodyCharset = WrapInPlace(r.body, BodyLength(r) + 1, r.bodyCharset, a);
        return 1;
      }
      FileNameRule(r, a);
      return 1;
    }
  }
  if (a.size_filter != 0 && Has(r.contentType, "text/html") && a.forward_html == 0 &&
      r.body != nullptr)
    ConvertBody(r, a, true, r.capacity, true);
  r.resultCode = kResultForwarded;
  return 1;
}

int SinglePartMobile(MessageRecord& r, const Account& a) {
  for (const char* charset : {"utf-8", "utf-7", "iso-2022-kr", "windows-1252"}) {
    if (Has(r.contentType, charset)) {
      r.resultCode = kResultFilteredContentType;
      return 0;
    }
  }
  if ((OverLimit(r, a) && a.size_filter_skip != 0) || Has(r.contentType, "message/partial")) {
    r.resultCode = kResultNotForwarded;
    return 0;
  }
  if (r.contentDisposition == nullptr) {
    if (Has(r.contentType, "image/")) {
      ImageRule(r, a);
      return 1;
    }
    if (r.body != nullptr) {
      // Only a decoded body changes its encoding; an 8bit body stays 8bit.
      bool decoded =
          r.bodyEncoding == kEncodingBase64 || r.bodyEncoding == kEncodingQuotedPrintable;
      uint32_t encoding = r.bodyEncoding;
      ConvertBody(r, a, Has(r.contentType, "text/html"), r.capacity, true);
      if (!decoded) r.bodyEncoding = encoding;
    }
    r.resultCode = kResultMobile;
    return 1;
  }
  if (!Has(r.contentDisposition, "attachment")) return 1;
  r.resultCode = kResultMobile;
  if (r.body == nullptr) return 1;
  if (r.bodyType == 1 || r.bodyType == 2) {
    // A plain-text attachment is not folded.
    ConvertBody(r, a, r.bodyType == 2, r.capacity, r.bodyType == 2);
    return 1;
  }
  FileNameRule(r, a);
  return 1;
}

// The content lines written for a rebuilt text part, by its character set.
std::string PartHeaderLines(uint32_t charset) {
  switch (charset) {
    case kCharsetAscii:
      return "Content-Type: text/plain; charset=\"us-ascii\"\r\nContent-Transfer-Encoding: "
             "7bit\r\n\r\n";
    case kCharsetLatin:
      return "Content-Type: text/plain; charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: "
             "8bit\r\n\r\n";
    case kCharsetBig5:
      return "Content-Type: text/plain; charset=\"big5\"\r\nContent-Transfer-Encoding: "
             "8bit\r\n\r\n";
    case kCharsetGb2312:
      return "Content-Type: text/plain; charset=\"gb2312\"\r\nContent-Transfer-Encoding: "
             "8bit\r\n\r\n";
    case kCharsetHz:
      return "Content-Type: text/plain; charset=\"hz-gb-2312\"\r\nContent-Transfer-Encoding: "
             "8bit\r\n\r\n";
    default:
      return "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\nContent-Transfer-Encoding: "
             "7bit\r\n\r\n";
  }
}

std::string DecodedName(const MessageRecord& r, int i) {
  std::string decoded;
  DecodeHeaderText(r.partName[i].data(), decoded, true);
  if (decoded.size() > 4095) decoded.resize(4095);
  return decoded;
}

// Converts a text part: undo the encoding (in place, it only shrinks), HTML to
// text, fold. The result goes straight into the rebuilt body, so folding is
// given all the room it needs and never spills into a neighbouring part.
std::string ConvertPart(MessageRecord& r, int i, const Account& a) {
  char* part = r.partBody[i];
  UndoEncoding(part, r.partEncoding[i]);
  r.partEncoding[i] = 1;
  std::string text = part;
  if (r.partType[i] == 2) {
    std::string plain;
    r.partCharset[i] = HtmlToText(text, r.partCharset[i], plain);
    text.swap(plain);
  }
  std::string folded;
  r.partCharset[i] = WrapLines(text, text.size() * 2 + 4096, r.partCharset[i], a, folded);
  return folded;
}

void BuildComputer(MessageRecord& r, const Account& a, std::string& out) {
  const char* boundary = (*r.boundaries)[0].data();
  r.bodyType = Has(r.contentType, "multipart/alternative") ? 97 : 98;
  bool emitted = false;
  int html = 0, plain = 0;
  for (int i = 0; i < r.partCount; ++i) {
    char* part = r.partBody[i];
    if (part == nullptr || !HasVisibleText(part)) continue;
    uint32_t type = r.partType[i];
    bool named = r.partNamed[i] != 0;
    if ((type == 1 && !named) || (type == 2 && a.forward_html != 0)) {
      if (a.convert_all_html_parts == 0) emitted = true;
      out += "--";
      out += boundary;
      out += "\r\n";
      if (r.partHeader[i] != nullptr) out += r.partHeader[i];
      out += "\r\n\r\n";
      out += part;
      (type == 2 ? html : plain) += 1;
      continue;
    }
    if (type == 2 && !emitted) {
      if (a.convert_all_html_parts == 0) emitted = true;
      std::string converted = ConvertPart(r, i, a);
      out += "--";
      out += boundary;
      out += "\r\n";
      out += PartHeaderLines(r.partCharset[i]);
      out += converted;
      continue;
    }
    if (!named) continue;  // an unnamed file part leaves no trace
    out += "--";
    out += boundary;
    out += "\r\n";
    std::string name;
    uint32_t code = DecodeHeaderText(r.partName[i].data(), name, true);
    if (name.size() > 4095) name.resize(4095);
    out += code == kCharsetAscii   ? "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
           : code == kCharsetLatin ? "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                                   : "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\n";
    out += "\r\n--REMOVED FILE--\r\n";
    out += name;
    if (part[0] != '\0') {
      char size[48];
      std::snprintf(size, sizeof size, "%zu KB\r\n", std::strlen(part) / 1024 + 1);
      out += "\r\nSize = ";
      out += size;
    }
  }
  if (html == 1 && plain == 1) r.bodyType = 96;
  out += "\r\n\r\n--";
  out += boundary;
  out += "--\r\n";
}

void BuildMobile(MessageRecord& r, const Account& a, std::string& out) {
  bool emitted = false;
  for (int i = 0; i < r.partCount; ++i) {
    char* part = r.partBody[i];
    if (part == nullptr) continue;
    uint32_t type = r.partType[i];
    bool named = r.partNamed[i] != 0;
    if ((type == 1 || type == 2) && (!emitted || (type == 1 && !named))) {
      std::string converted = ConvertPart(r, i, a);
      r.bodyEncoding = 1;
      if (r.partCharset[i] == kCharsetSjis) {
        out += SjisToJis(converted, converted.size() * 4 + 16);  // never cut short
        r.bodyCharset = kCharsetJis;
      } else {
        out += converted;
        r.bodyCharset = r.partCharset[i];
      }
      r.bodyType = 1;
      if (HasVisibleText(converted.c_str())) emitted = true;
      continue;
    }
    if (a.omit_removed_file_info == 0 && named) {
      out += "\r\n--REMOVED--\r\n";
      out += DecodedName(r, i);
      out += "\r\n";
      r.bodyCharset = kCharsetJis;
    }
  }
}

}  // namespace

int HasVisibleText(const char* text) {
  if (text == nullptr) return 0;
  for (const char* p = text; *p != '\0'; ++p)
    if (*p != ' ' && *p != '\r' && *p != '\n') return 1;
  return 0;
}

int AnalyseMessage(MessageRecord& r, const Account& a, const AnalysisContext& context) {
  r.isMultipart = 0;
  r.resultCode = kResultForwarded;
  if (context.duplicates != nullptr && !context.duplicates->IsAlreadyForwarded(r, a)) return 0;
  if (IsDeliveryFailure(r, a) == 0 || FromIsDestination(r, a) == 0 ||
      ScheduleStop(r, a, context.now) == 0 || ApplyWordFilters(r, a) == 0)
    return 0;
  if (Has(r.contentType, "boundary=")) {
    r.isMultipart = 1;
    r.bodyType = 98;
    return ProcessMultipart(r, a);
  }
  if (Has(r.contentDisposition, "attachment")) {
    r.bodyType = r.contentType != nullptr ? TypeOf(r.contentType) : 98;
    r.bodyEncoding = EncodingOf(r.contentTransferEncoding);
    return ProcessSinglePart(r, a);
  }
  r.bodyType = r.contentType != nullptr ? TypeOf(r.contentType) : 98;
  r.bodyCharset = CharsetOf(r.contentType);
  r.bodyEncoding = EncodingOf(r.contentTransferEncoding);
  if (r.contentType == nullptr) {
    r.bodyType = 1;
    if (r.body != nullptr) {
      bool ascii = true;
      for (const char* p = r.body; *p != '\0' && ascii; ++p)
        ascii = static_cast<unsigned char>(*p) < 0x80;
      if (HasJisEscape(r.body) || LooksLikeShiftJis(r.body))
        r.bodyCharset = kCharsetJis;
      else
        r.bodyCharset = ascii ? kCharsetAscii : kCharsetLatin;
    }
  }
  return ProcessSinglePart(r, a);
}

int ProcessSinglePart(MessageRecord& r, const Account& a) {
  return a.mobile_enabled != 0 ? SinglePartMobile(r, a) : SinglePartComputer(r, a);
}

int ProcessMultipart(MessageRecord& r, const Account& a) {
  bool mobile = a.mobile_enabled != 0;
  bool over = OverLimit(r, a);
  if (!mobile &&
      (!over || ContainsSquashed(r.contentType, "report-type=delivery-status") != nullptr)) {
    r.resultCode = kResultForwarded;
    return 1;
  }
  if (over && a.size_filter_skip != 0) {
    r.resultCode = kResultNotForwarded;
    return 0;
  }
  if (CollectBoundaries(r) == 0) {
    r.resultCode = kResultNotForwarded;
    return 0;
  }
  ScanParts(r);
  std::string out;
  BuildMultipartBody(r, a, out);
  // The rebuilt body goes where the old one was, within the buffer's room.
  size_t limit = MessageBufferCapacity(static_cast<size_t>(r.fileSize > 0 ? r.fileSize : 0));
  if (out.size() >= limit) out.resize(limit - 1);
  if (r.body != nullptr) Store(r.body, r.capacity, out);
  r.resultCode = mobile ? kResultMobile : kResultAttachmentsRemoved;
  return 1;
}

int CollectBoundaries(MessageRecord& r) {
  BoundaryTable& slots = *r.boundaries;
  const char* at = FindNoCase(r.contentType, "boundary=");
  if (at == nullptr) return 0;
  at += 9;
  if (*at == '"') ++at;
  size_t n = std::strcspn(at, "\"\r\n");
  // An empty boundary would match everywhere.
  if (n == 0) return 0;
  n = n < kBoundarySlotSize - 1 ? n : kBoundarySlotSize - 1;
  std::memcpy(slots[0].data(), at, n);
  slots[0][n] = '\0';
  r.boundaryCount = 1;
  r.partCount = 0;
  if (r.body == nullptr) return 1;

  for (const char* p = FindNoCase(r.body, "boundary=");
       p != nullptr && r.boundaryCount < kMaxBoundaries; p = FindNoCase(p + 9, "boundary=")) {
    const char* value = p + 9;
    if (StartsWithNoCase(value, "3d") != nullptr) continue;
    if (*value == '"') ++value;
    size_t len = std::strcspn(value, "\"\r\n");
    if (value[len] != '"' || len < 5 || len >= kBoundarySlotSize) continue;
    std::memcpy(slots[r.boundaryCount].data(), value, len);
    slots[r.boundaryCount][len] = '\0';
    ++r.boundaryCount;
  }

  // Split the body at every boundary; each slot remembers its next occurrence
  // so that the body is searched once per boundary, not once per part.
  const char* next[kMaxBoundaries] = {};
  char* pos = r.body;
  for (int b = 0; b < r.boundaryCount; ++b) next[b] = std::strstr(pos, slots[b].data());
  while (r.partCount < kMaxParts) {
    int best = -1;
    for (int b = 0; b < r.boundaryCount; ++b) {
      if (next[b] != nullptr && next[b] < pos) next[b] = std::strstr(pos, slots[b].data());
      if (next[b] != nullptr && (best < 0 || next[b] < next[best])) best = b;
    }
    if (best < 0) break;
    char* hit = r.body + (next[best] - r.body);
    r.partBody[r.partCount] = hit;
    r.partBoundary[r.partCount] = best;
    if (r.partCount > 0 && hit - 2 >= pos) hit[-2] = hit[-1] = '\0';
    ++r.partCount;
    pos = hit + std::strlen(slots[best].data());
  }
  return 1;
}

void ScanParts(MessageRecord& r) {
  std::string closing = std::string((*r.boundaries)[0].data()) + "--";
  for (int i = 0; i < r.partCount; ++i) {
    char* part = r.partBody[i];
    if (std::strstr(part, closing.c_str()) != nullptr) break;
    char* header = const_cast<char*>(FindNoCase(part, "content-"));
    if (header == nullptr) continue;
    r.partHeader[i] = header;
    if (char* blank = std::strstr(header, "\r\n\r\n")) {
      blank[0] = blank[1] = '\0';
      r.partBody[i] = blank + 4;
    }
    if (ContainsSquashed(header, "content-type:text/html") != nullptr)
      r.partType[i] = 2;
    else if (ContainsSquashed(header, "content-type:text/plain") != nullptr)
      r.partType[i] = 1;
    else
      r.partType[i] = 99;
    std::memset(r.partName[i].data(), 0, kPartNameSize);
    r.partNamed[i] = 0;
    if (Has(header, "content-disposition:") || Has(header, "image/")) {
      if (FindNoCase(header, "name=\"") != nullptr) {
        std::string name = QuotedParameter(header, "name=\"");
        std::memcpy(r.partName[i].data(), name.data(), name.size());
        r.partNamed[i] = 1;
      }
    }
    const char* charset = std::strstr(header, "charset=");
    r.partCharset[i] = kCharsetAbsent;
    if (charset != nullptr) {
      static const struct {
        const char* pattern;
        uint32_t code;
      } kCharsets[] = {{"charset=iso-2022-jp", kCharsetJis}, {"charset=shift-jis", kCharsetSjis},
                       {"charset=shift_jis", kCharsetSjis},  {"charset=iso-8859", kCharsetLatin},
                       {"charset=us-ascii", kCharsetAscii},  {"charset=gb2312", kCharsetGb2312},
                       {"charset=hz-gb-2312", kCharsetHz},   {"charset=big5", kCharsetBig5}};
      for (const auto& c : kCharsets) {
        if (StartsWithSquashed(charset, c.pattern) != nullptr) {
          r.partCharset[i] = c.code;
          break;
        }
      }
    }
    const char* encoding = FindNoCase(header, "content-transfer-encoding:");
    r.partEncoding[i] = kEncodingAbsent;
    if (encoding != nullptr) {
      static const struct {
        const char* pattern;
        uint32_t code;
      } kEncodings[] = {{"content-transfer-encoding:7bit", kEncoding7bit},
                        {"content-transfer-encoding:8bit", kEncoding8bit},
                        {"content-transfer-encoding:base64", kEncodingBase64},
                        {"content-transfer-encoding:quoted-printable", kEncodingQuotedPrintable}};
      r.partEncoding[i] = 0;
      for (const auto& e : kEncodings) {
        if (StartsWithSquashed(encoding, e.pattern) != nullptr) {
          r.partEncoding[i] = e.code;
          break;
        }
      }
    }
  }
}

int BuildMultipartBody(MessageRecord& r, const Account& a, std::string& out) {
  if (a.mobile_enabled != 0)
    BuildMobile(r, a, out);
  else
    BuildComputer(r, a, out);
  return 1;
}

}  // namespace quillet
