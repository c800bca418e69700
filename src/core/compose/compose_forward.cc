#include "compose/compose_forward.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "analysis/charset.h"
#include "analysis/string_tests.h"
#include "compose/address.h"
#include "platform/text_encoding.h"

namespace quillet {
namespace {

// The text of a header line behind its first `skip` characters; empty for a
// line too short to have one.
std::string ValueAt(const char* line, size_t skip) {
  if (line == nullptr) return std::string();
  size_t n = std::strlen(line);
  while (n > skip && (line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
  return n > skip ? std::string(line + skip, n - skip) : std::string();
}

// A received header line as it is written again: the last line of a message
// without a blank line still holds its line end, which would end the block early.
std::string Line(const char* line) {
  std::string text(line);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text + "\r\n";
}

bool IsDoubleByteCharset(uint32_t c) {
  return c == 1 || c == 5 || c == 6 || c == 7;
}

// Enough room for any Shift_JIS text of `length` bytes once converted to JIS.
size_t JisRoom(size_t length) {
  return length * 4 + 16;
}

// Cut at about `limit` bytes: the character holding byte limit - 1 is kept
// whole, so a double-byte character is never split.
void CutWithoutSplitting(std::string& text, size_t limit) {
  if (text.size() <= limit || limit == 0) return;
  size_t p = 0;
  while (p < text.size()) {
    size_t len = IsSjisLeadByte(static_cast<unsigned char>(text[p])) && p + 1 < text.size() ? 2 : 1;
    if (p + len > limit - 1) {
      text.resize(p + len);
      return;
    }
    p += len;
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    size_t end = lf == std::string::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// Splits a word list like the settings do (quoted phrases kept together).
std::vector<std::string> Words(const char* field, size_t capacity, int max) {
  std::vector<char> buffer(capacity + 2, '\0');
  std::memcpy(buffer.data(), field, strnlen(field, capacity));
  std::vector<char*> pointers(static_cast<size_t>(max));
  int n = SplitWordList(buffer.data(), buffer.size(), pointers.data(), max);
  return std::vector<std::string>(pointers.begin(), pointers.begin() + n);
}

void RemoveCitations(std::string& work, const Account& a) {
  std::vector<std::string> prefixes =
      Words(a.citation_prefixes, sizeof a.citation_prefixes - 1, 20);
  std::vector<std::string> lines = Lines(work);
  std::string out;
  bool previous_cited = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    bool cited = false;
    if (i > 0)
      for (const std::string& p : prefixes)
        cited = cited || StartsWith(lines[i].c_str(), p.c_str());
    bool remove = cited && (a.citation_keep_first == 0 || previous_cited);
    previous_cited = cited;
    if (!remove) out += lines[i];
  }
  if (!out.ends_with("\n")) out += "\r\n";
  work = out;
}

// Lines that end at CR LF (or are cut at 4091 bytes), as the cut rules see them.
std::vector<std::string> CutLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t cr = text.find('\r', start);
    size_t end = cr == std::string::npos ? text.size() : cr + 1;
    if (end < text.size() && text[end] == '\n') ++end;
    if (end - start > 4091) end = start + 4091;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// Drops each line for which `marks` holds, and the `n` lines after it.
void DropMarkedLines(std::string& work, int n, const std::function<bool(const std::string&)>& marks,
                     const char* replacement) {
  std::string out;
  int skip = 0;
  for (const std::string& line : CutLines(work)) {
    if (skip > 0) {
      --skip;
      continue;
    }
    if (marks(line)) {
      out += replacement;
      skip = n;
      continue;
    }
    out += line;
  }
  work = out;
}

// Cuts the text at the start of the line that holds `at`.
void CutAtLineOf(std::string& work, size_t at, const char* marker) {
  size_t lf = work.rfind('\n', at);
  work.resize(lf == std::string::npos ? at : lf + 1);
  work += marker;
}

void RemoveCharacters(std::string& work, uint32_t charset, const Account& a) {
  bool spaces = a.remove_spaces != 0 && charset != kCharsetSjis;
  bool wide = a.remove_wide_spaces != 0 && charset == kCharsetJis;
  bool tabs = a.remove_tabs != 0;
  bool repeats = a.remove_repeated_chars != 0;
  bool double_byte = IsDoubleByteCharset(charset);
  std::string out;
  std::string previous;
  int run = 0;
  for (size_t i = 0; i < work.size();) {
    size_t len = 1;
    if (double_byte && IsSjisLeadByte(static_cast<unsigned char>(work[i])) && i + 1 < work.size())
      len = 2;
    std::string unit = work.substr(i, len);
    bool next_blank = i + len < work.size() && work[i + len] == ' ';
    i += len;
    if (spaces && unit == " " && (out.empty() || out.back() == '\n' || next_blank)) continue;
    if (tabs && unit == "\t") continue;
    if (wide && unit == "\x81\x40") continue;
    if (repeats) {
      run = unit == previous ? run + 1 : 1;
      previous = unit;
      if (run > 5) continue;
    }
    out += unit;
  }
  work = out;
}

void RemoveBlankLines(std::string& work, uint32_t charset) {
  if (work.find("\r\n") == std::string::npos) work += "\r\n";
  std::string out;
  size_t start = 0;
  while (start < work.size()) {
    size_t end = work.find("\r\n", start);
    std::string line =
        work.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? work.size() : end + 2;
    if (charset != kCharsetJis) RemoveLeadingBlanks(line);
    if (line.empty()) continue;
    out += line;
    if (end != std::string::npos) out += "\r\n";
  }
  work = out;
}

std::string ContentTypeLines(MessageRecord& r) {
  std::string out;
  if (r.bodyType == 98) {
    if (r.contentType != nullptr) out += Line(r.contentType);
    if (r.contentDisposition != nullptr) out += Line(r.contentDisposition);
  } else if (r.bodyType == 96 || r.bodyType == 97) {
    const char* at = FindNoCase(r.contentType, "boundary=");
    if (at == nullptr) {
      if (r.contentType != nullptr) out += Line(r.contentType);
    } else {
      std::string value(at, strnlen(at, 255));
      size_t quote = value.find('"');
      if (quote != std::string::npos) {
        size_t close = value.find('"', quote + 1);
        if (close != std::string::npos) value.resize(close + 1);
      }
      out += std::string("Content-Type: multipart/") +
             (r.bodyType == 96 ? "alternative" : "mixed") + "; " + value + "\r\n";
    }
  } else {
    out += r.bodyType == 2 ? "Content-Type: text/html; " : "Content-Type: text/plain; ";
    static const char* const kCharsets[] = {
        "\r\n",
        "charset=\"iso-2022-jp\"\r\n",
        "charset=\"shift-jis\"\r\n",
        "charset=\"iso-8859-1\"\r\n",
        "charset=\"us-ascii\"\r\n",
        "charset=\"big5\"\r\n",
        "charset=\"gb2312\"\r\n",
        "charset=\"hz-gb-2312\"\r\n",
    };
    out += r.bodyCharset >= 1 && r.bodyCharset <= 7 ? kCharsets[r.bodyCharset] : kCharsets[0];
  }
  if (r.bodyType == 98) {
    if (r.contentTransferEncoding != nullptr) out += Line(r.contentTransferEncoding);
  } else {
    switch (r.bodyEncoding) {
      case kEncodingBase64:
        out += "Content-Transfer-Encoding: base64\r\n";
        break;
      case kEncodingQuotedPrintable:
        out += "Content-Transfer-Encoding: quoted-printable\r\n";
        break;
      case kEncoding8bit:
        out += "Content-Transfer-Encoding: 8bit\r\n";
        break;
      default:
        out += "Content-Transfer-Encoding: 7bit\r\n";
    }
  }
  return out;
}

std::string AddressLine(const char* line, const Account& a, const char* label) {
  if (a.add_own_domain == 0) return Line(line);
  std::string domain = ValueAt(a.mail_address, 0);
  size_t at = domain.find('@');
  domain = at == std::string::npos ? std::string() : domain.substr(at + 1);
  std::string rewritten = RewriteAddressHeader(line, std::strlen(line) * 2, domain, label);
  BreakEmptyLines(rewritten);
  return rewritten + "\r\n";
}

bool ShortensPiece(const Account& a, int piece) {
  return piece > 0 || a.shorten_first_piece_subject != 0;
}

std::string SubjectLine(const MessageRecord& r, const Account& a, int piece) {
  std::string prefix = PiecePrefix(a, piece);
  if (r.subject == nullptr) return "Subject: " + prefix + "(no subject)\r\n";
  std::string value = ValueAt(r.subject, 9);
  if (a.mobile_enabled == 0 || a.shorten_subject == 0) return "Subject: " + prefix + value + "\r\n";
  if (value.size() > 1022 - 9) value.resize(1023 - 9);
  std::string decoded;
  uint32_t code = DecodeHeaderText(prefix + value, decoded, true);
  CompactReplyPrefixes(decoded);
  size_t limit = static_cast<size_t>(a.subject_max_bytes > 0 ? a.subject_max_bytes : 16);
  if (ShortensPiece(a, piece)) {
    if (code != kCharsetSjis) {
      if (decoded.size() > limit) decoded.resize(limit + 1);
      TransliterateLatin(decoded.data());
      return "Subject: " + std::string(decoded.c_str()) + "\r\n";
    }
    CutWithoutSplitting(decoded, limit);
    return "Subject: " + EncodeHeaderJis(decoded, kCharsetSjis) + "\r\n";
  }
  std::string encoded = EncodeHeaderJis(decoded, code);
  if (a.allow_8bit == 0 && code != 5 && code != 6 && code != 7) TransliterateLatin(encoded.data());
  return "Subject: " + std::string(encoded.c_str()) + "\r\n";
}

// An info line converted for the body of a mobile piece.
std::string InfoText(std::string text, uint32_t code, const Account& a) {
  if (code == kCharsetSjis) return SjisToJis(text, 4092);
  if (a.allow_8bit == 0 && code != 5 && code != 6 && code != 7) TransliterateLatin(text.data());
  return std::string(text.c_str());
}

bool WritePiece(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

void CompactReplyPrefixes(std::string& subject) {
  static const struct {
    const char* prefix;
    char marker;
  } kPrefixes[] = {{"re: ", '<'}, {"re:", '<'},   {"fw: ", '>'},
                   {"fw:", '>'},  {"fwd: ", '>'}, {"fwd:", '>'}};
  std::string markers;
  bool found = true;
  while (found) {
    found = false;
    for (const auto& p : kPrefixes) {
      if (StartsWithNoCase(subject.c_str(), p.prefix) != nullptr) {
        if (markers.size() < kMaxReplyMarkers) markers += p.marker;
        subject.erase(0, std::strlen(p.prefix));
        found = true;
        break;
      }
    }
  }
  subject = markers + subject;
}

std::string PiecePrefix(const Account& a, int piece) {
  if (a.mobile_enabled == 0 || a.divide_enabled == 0) return std::string();
  char buf[32];
  if (a.number_in_subject != 0) {
    const char* format = a.divide_max_pieces < 10     ? "%02d%1d)"
                         : a.divide_max_pieces >= 100 ? "%02d%03d)"
                                                      : "%02d%02d)";
    std::snprintf(buf, sizeof buf, format, a.mail_number, piece + 1);
  } else {
    std::snprintf(buf, sizeof buf, "%d)", piece + 1);
  }
  return buf;
}

std::string PrepareMobileBody(MessageRecord& r, Account& a) {
  std::string body = r.body != nullptr ? r.body : "";
  if (r.bodyCharset == kCharsetLatin || r.bodyCharset == kCharsetAscii) {
    if (a.allow_8bit == 0) {
      TransliterateLatin(body.data());
      r.bodyCharset = kCharsetAscii;
      r.bodyEncoding = kEncoding7bit;
    } else {
      r.bodyEncoding = r.bodyCharset == kCharsetLatin ? kEncoding8bit : kEncoding7bit;
    }
  }
  std::string work;
  if (r.bodyCharset == kCharsetJis) {
    work = JisToSjisPlain(body) + "\r\n";
    r.bodyEncoding = kEncoding7bit;
  } else {
    work = body + "\r\n";
    if (r.bodyCharset == kCharsetSjis) {
      // Shift_JIS is sent as ISO-2022-JP; the work text stays Shift_JIS until written.
      r.bodyCharset = kCharsetJis;
      r.bodyEncoding = kEncoding7bit;
    }
  }
  if (a.citation_filter != 0) RemoveCitations(work, a);
  if (a.cut_after_original != 0) {
    int n = a.cut_after_original_lines;
    if (n <= 0) {
      const char* hit = FindNoCase(work.c_str(), "original message");
      if (hit != nullptr)
        CutAtLineOf(work, static_cast<size_t>(hit - work.c_str()), "-ORG_MSG_RMVD-\r\n");
    } else {
      DropMarkedLines(
          work, n,
          [](const std::string& line) {
            return FindNoCase(line.c_str(), "original message") != nullptr;
          },
          "-ORG_MSG-\r\n");
    }
  }
  if (a.cut_after_keyword != 0) {
    std::vector<std::string> words = Words(a.cut_keyword, sizeof a.cut_keyword - 1, 32);
    int n = a.cut_keyword_lines;
    if (n > 0) {
      DropMarkedLines(
          work, n,
          [&](const std::string& line) {
            for (const std::string& w : words)
              if (line.find(w) != std::string::npos) return true;
            return false;
          },
          "");
    } else {
      for (const std::string& w : words) {
        size_t at = work.find(w);
        if (at == std::string::npos) continue;
        CutAtLineOf(work, at, "");
        break;
      }
    }
  }
  RemoveCharacters(work, r.bodyCharset, a);
  if (a.remove_blank_lines != 0) RemoveBlankLines(work, r.bodyCharset);
  if (a.mobile_enabled != 0 && a.divide_enabled != 0 && a.number_in_subject != 0)
    a.mail_number = static_cast<int16_t>(((a.mail_number < 0 ? 0 : a.mail_number) + 1) % 100);
  return work;
}

std::string SubjectInfo(const MessageRecord& r, const Account& a, int piece, size_t& text_length) {
  std::string text = "(no subject)";
  uint32_t code = kCharsetAscii;
  if (r.subject != nullptr) {
    std::string value = ValueAt(r.subject, 9);
    RemoveLineBreaks(value);
    text.clear();
    code = DecodeHeaderText(value, text, true);
    if (a.shorten_subject != 0) CompactReplyPrefixes(text);
  }
  text = a.divide_enabled == 0 ? "St:" + text : PiecePrefix(a, piece) + text;
  if (a.shorten_subject != 0 && ShortensPiece(a, piece))
    CutWithoutSplitting(text,
                        static_cast<size_t>(a.subject_max_bytes > 0 ? a.subject_max_bytes : 16));
  text = InfoText(text, code, a);
  text_length = text.size();
  return text + "\r\n";
}

std::string SenderInfo(const MessageRecord& r, const Account& a, int piece, size_t& text_length) {
  text_length = 0;
  if (a.shorten_subject != 0 && piece > 0) return std::string();
  if (r.from == nullptr || std::strlen(r.from) < 5) return std::string();
  bool short_form = a.mobile_enabled != 0 && a.shorten_subject != 0;
  std::string label = short_form ? "Fm:" : "From:";
  std::string text;
  uint32_t code = DecodeHeaderText(label + ValueAt(r.from, 6), text, false);
  if (short_form) {
    size_t lt = text.find('<');
    if (lt != std::string::npos) {
      std::string name = text.substr(label.size(), lt - label.size());
      std::erase(name, '"');
      RemoveLeadingBlanks(name);
      if (name.empty()) {
        // No display name: the address itself is what identifies the sender.
        size_t gt = text.find('>', lt);
        text =
            label + text.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1);
      } else {
        text.resize(lt);
        std::erase(text, '"');
      }
    } else if (size_t paren = text.find('('); paren != std::string::npos) {
      text = text.substr(paren);
    }
  }
  RemoveLineBreaks(text);
  text = InfoText(text, code, a);
  text_length = text.size();
  return text + "\r\n";
}

std::string HeaderBlock(MessageRecord& r, const Account& a, int piece) {
  std::string h;
  if (r.date != nullptr && a.omit_date == 0) {
    if (a.add_resent_headers != 0) h += "Resent-Date:" + ValueAt(r.date, 5) + "\r\n";
    h += Line(r.date);
  }
  if (r.to != nullptr) {
    if (a.destination_in_to != 0) {
      std::vector<std::string> first = SplitAtBlanks(GetText(a.forward_to), 1);
      h += "To: " + (first.empty() ? std::string() : first[0]) + "\r\n";
    } else {
      h += AddressLine(r.to, a, "To:");
    }
  }
  if (a.omit_from_reply_to == 0) {
    if (a.from_is_own_address != 0) {
      h += "From: <" + ValueAt(a.mail_address, 0) + ">\r\n";
      if (r.replyTo != nullptr)
        h += Line(r.replyTo);
      else if (r.from != nullptr)
        h += "Reply-To:" + ValueAt(r.from, 5) + "\r\n";
    } else {
      if (r.from != nullptr) h += AddressLine(r.from, a, "From:");
      if (r.replyTo != nullptr) h += Line(r.replyTo);
    }
  }
  if (a.mobile_enabled == 0 || a.minimum_headers == 0) {
    if (r.cc != nullptr) h += AddressLine(r.cc, a, "Cc:");
    for (const char* line :
         {r.xMsmailPriority, r.priority, r.xPriority, r.mimeVersion, r.inReplyTo, r.references})
      if (line != nullptr) h += Line(line);
  }
  if (r.messageId != nullptr && a.omit_message_id == 0) h += Line(r.messageId);
  if (a.add_resent_headers != 0) {
    h += "Resent-From: " + ValueAt(a.mail_address, 0) + "\r\n";
    std::string joined;
    for (const std::string& address : SplitAtBlanks(GetText(a.forward_to), kMaxAddressEntries))
      joined += (joined.empty() ? "" : ", ") + address;
    h += "Resent-To: " + joined + "\r\n";
  }
  h += SubjectLine(r, a, piece);
  if (a.mobile_enabled != 0) r.bodyType = 1;
  h += ContentTypeLines(r);
  h += "X-Mailer: Quillet V3.47.1 \r\n";
  h += "\r\n";
  return h;
}

std::string PieceFilePath(const std::string& temp_dir, int piece) {
  return temp_dir + "$qltdiv" + std::to_string(piece) + ".eml";
}

int ComposeForward(MessageRecord& r, Account& a, const std::string& temp_dir, std::string& error) {
  r.pieceCount = 0;
  bool mobile = a.mobile_enabled != 0;
  std::string work = mobile ? PrepareMobileBody(r, a) : std::string();
  bool jis = r.bodyCharset == kCharsetJis;
  int max_pieces = a.divide_max_pieces < 1 ? 1 : a.divide_max_pieces;
  size_t piece_bytes = static_cast<size_t>(a.divide_bytes < 1 ? 1 : a.divide_bytes);
  size_t pos = 0;
  for (int piece = 0;; ++piece) {
    std::string text = HeaderBlock(r, a, piece);
    size_t size = 0;
    if (!mobile) {
      if (a.from_is_own_address != 0) {
        std::string sender = SenderInfo(r, a, piece, size);
        if (!sender.empty()) text += sender + "-----\r\n";
      }
      text += std::string(r.body != nullptr ? r.body : "") + "\r\n";
    } else {
      size_t subject_length = 0, sender_length = 0;
      std::string info;
      if (a.add_subject_to_body != 0) info += SubjectInfo(r, a, piece, subject_length);
      if (a.add_sender_to_body != 0) info += SenderInfo(r, a, piece, sender_length);
      if (a.add_subject_to_body != 0 || a.add_sender_to_body != 0) info += "\r\n";
      text += info;
      size = subject_length + sender_length;
      if (a.divide_enabled == 0) {
        if (jis) {
          // Escape sequences can make JIS several times longer than Shift_JIS:
          // the limit leaves room for all of it, so nothing is cut off.
          if (work.size() >= 2) text += SjisToJis(work, JisRoom(work.size()));
        } else {
          text += work;
        }
        text += "\r\n";
      } else {
        while (pos < work.size()) {
          size_t lf = work.find('\n', pos);
          size_t end = lf == std::string::npos ? work.size() : lf + 1;
          if (end - pos > kPieceLineLimit) end = pos + kPieceLineLimit;
          std::string line = work.substr(pos, end - pos);
          if (jis) line = SjisToJis(line, JisRoom(line.size()));
          size += line.size();
          if (size > piece_bytes) break;  // this line starts the next piece
          text += line;
          pos = end;
        }
      }
    }
    std::string path = PieceFilePath(temp_dir, piece);
    if (!WritePiece(path, text)) {
      // Retrying could loop for ever: the message fails instead.
      for (int p = 0; p <= piece; ++p) std::remove(PieceFilePath(temp_dir, p).c_str());
      r.pieceCount = 0;
      error = "Error: Cannot write the piece file " + path;
      return 0;
    }
    ++r.pieceCount;
    if (!mobile || a.divide_enabled == 0 || pos >= work.size() || r.pieceCount >= max_pieces)
      return 1;
  }
}

}  // namespace quillet
