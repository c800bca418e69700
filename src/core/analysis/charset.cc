#include "analysis/charset.h"

#include <cstring>
#include <vector>

#include "analysis/string_tests.h"
#include "platform/text_encoding.h"
#include "transport/digests.h"

namespace quillet {
namespace {

// Fullwidth question mark, for a JIS pair that has no Shift_JIS code.
constexpr char kReplacement[] = "\x81\x48";

void AppendSjisPair(std::string& out, int j1, int j2) {
  int s1 = (j1 - 0x21) / 2 + 0x81;
  if (s1 > 0x9F) s1 += 0x40;
  int s2;
  if (j1 % 2 != 0) {
    s2 = j2 + 0x1F;
    if (j2 >= 0x60) s2 += 1;
  } else {
    s2 = j2 + 0x7E;
  }
  out += static_cast<char>(s1);
  out += static_cast<char>(s2);
}

bool InJisRange(unsigned char c) {
  return c >= 0x21 && c <= 0x7E;
}

// Base64 payload to bytes, up to the first NUL as a C string would see it.
std::string DecodeWord(std::string_view payload) {
  std::vector<uint8_t> bytes(payload.size() / 4 * 3 + 3);
  size_t n = Base64Decode(payload, bytes.data(), bytes.size());
  std::string out(reinterpret_cast<char*>(bytes.data()), n);
  size_t nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  return out;
}

struct Row {
  const char* markers[2];
  bool b_form;  // token B form, else strip-and-Q form
  const char* prefixes[2];
  uint32_t result;
  bool jis;
};

const Row kRows[] = {
    {{"iso-2022-jp?b", nullptr}, true, {"?iso-2022-jp?b?", nullptr}, kCharsetSjis, true},
    {{"iso-2022-jp?q", nullptr}, false, {"=?iso-2022-jp?q?", nullptr}, kCharsetSjis, true},
    {{"shift-jis?b", "shift_jis?b"}, true, {"?shift-jis?b?", "?shift_jis?b?"}, kCharsetSjis, false},
    {{"shift-jis?q", "shift_jis?q"},
     false,
     {"=?shift-jis?q?", "=?shift_jis?q?"},
     kCharsetSjis,
     false},
    {{"big5?b", nullptr}, true, {"?big5?b?", nullptr}, kCharsetBig5, false},
    {{"big5?q", nullptr}, false, {"=?big5?q?", nullptr}, kCharsetBig5, false},
    {{"gb2312?b", nullptr}, true, {"?gb2312?b?", nullptr}, kCharsetGb2312, false},
    {{"gb2312?q", nullptr}, false, {"=?gb2312?q?", nullptr}, kCharsetGb2312, false},
    {{"hz-gb-2312?b", nullptr}, true, {"?hz-gb-2312?b?", nullptr}, kCharsetGb2312, false},
    {{"hz-gb-2312?q", nullptr}, false, {"=?hz-gb-2312?q?", nullptr}, kCharsetGb2312, false},
};

bool StartsNoCase(std::string_view text, size_t at, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (text.size() - at < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
  return true;
}

bool ContainsNoCase(std::string_view text, const char* marker) {
  size_t n = std::strlen(marker);
  for (size_t i = 0; i + n <= text.size(); ++i)
    if (StartsNoCase(text, i, marker)) return true;
  return false;
}

bool HasJisEscape(std::string_view text) {
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == 0x1B && (text[i + 1] == '$' || text[i + 1] == '(')) return true;
  return false;
}

uint32_t DecodeTokenB(std::string_view text, const Row& row, bool drop_blanks, std::string& out) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() &&
           (text[i] == '=' || text[i] == '\r' || text[i] == '\n' || text[i] == '\t'))
      ++i;
    size_t start = i;
    while (i < text.size() && text[i] != '=' && text[i] != '\r' && text[i] != '\n' &&
           text[i] != '\t')
      ++i;
    if (i == start) break;
    std::string_view token = text.substr(start, i - start);
    const char* prefix = nullptr;
    for (const char* p : row.prefixes)
      if (p != nullptr && StartsNoCase(token, 0, p)) prefix = p;
    if (prefix != nullptr) {
      std::string payload(token.substr(std::strlen(prefix)));
      if (payload.size() > kEncodedWordLimit - 4) payload.resize(kEncodedWordLimit - 4);
      if (row.jis && HasJisEscape(payload)) {
        // Already JIS bytes: taken as they are.
        while (!payload.empty() && (payload.back() == '=' || payload.back() == '?'))
          payload.pop_back();
        out += JisToSjis(payload);
        continue;
      }
      if (!payload.empty() && payload.back() == '?') payload.back() = '=';
      static const char* const kPadding[] = {"", "===", "==", "="};
      payload += kPadding[payload.size() % 4];
      std::string decoded = DecodeWord(payload);
      out += row.jis ? JisToSjis(decoded) : decoded;
      continue;
    }
    if (token == "?" || (row.jis && token == "? ")) continue;
    if (drop_blanks && token == " ") continue;
    out += row.jis ? JisToSjis(token) : std::string(token);
  }
  return row.result;
}

uint32_t DecodeStripQ(std::string_view text, const Row& row, std::string& out) {
  std::string stripped;
  size_t i = 0;
  while (i < text.size()) {
    const char* prefix = nullptr;
    for (const char* p : row.prefixes)
      if (p != nullptr && StartsNoCase(text, i, p)) prefix = p;
    if (prefix != nullptr) {
      i += std::strlen(prefix);
    } else if (text.substr(i, 2) == "?=") {
      i += 2;
    } else {
      stripped += text[i++];
    }
  }
  std::string decoded = DecodeQuotedPrintable(stripped);
  out = row.jis ? JisToSjis(decoded) : decoded;
  return row.result;
}

uint32_t DecodeLatin(std::string_view text, std::string& out) {
  static const char* const kQ[] = {"=?iso-8859-1?q?", "=?iso-8859-2?q?"};
  static const char* const kB[] = {"=?iso-8859-1?b?", "=?iso-8859-2?b?"};
  std::string pending;
  out.clear();
  size_t i = 0;
  while (i < text.size()) {
    bool skipped = false;
    for (const char* p : kQ) {
      if (!skipped && StartsNoCase(text, i, p)) {
        i += std::strlen(p);
        skipped = true;
      }
    }
    for (const char* p : kB) {
      if (!skipped && StartsNoCase(text, i, p)) {
        i += std::strlen(p);
        size_t end = text.find("?=", i);
        if (end == std::string_view::npos) end = text.size();
        out += DecodeQuotedPrintable(pending);
        pending.clear();
        out += DecodeWord(text.substr(i, std::min(end - i, kEncodedWordLimit)));
        i = end;
        skipped = true;
      }
    }
    if (skipped) continue;
    if (text.substr(i, 2) == "?=") {
      i += 2;
      continue;
    }
    pending += text[i++];
  }
  out += DecodeQuotedPrintable(pending);
  return kCharsetLatin;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Shift_JIS lead and trail to the JIS pair.
void SjisPairToJis(unsigned char s1, unsigned char s2, std::string& out) {
  int row = s1 >= 0xE0 ? s1 - 0x40 : s1;
  int j1 = 2 * (row - 0x81) + 0x21;
  int j2;
  if (s2 >= 0x9F) {
    j1 += 1;
    j2 = s2 - 0x7E;
  } else {
    j2 = s2 - 0x1F;
    if (s2 >= 0x80) j2 -= 1;
  }
  out += static_cast<char>(j1);
  out += static_cast<char>(j2);
}

constexpr char kLatinTable[] =
    "C*,f,.++^%S<E*Z*"
    "*`'\"\"*--~*s>e*zY"
    "*iCL*Y|*\"*a<*-*~"
    "o*23'u**,10>***?"
    "AAAAAAACEEEEIIII"
    "DNOOOOOxOUUUUYbB"
    "aaaaaaaceeeeiiii"
    "dnooooo*ouuuuyby";
static_assert(sizeof kLatinTable == 129);

}  // namespace

uint32_t DecodeHeaderText(std::string_view text, std::string& out, bool drop_blanks) {
  for (const Row& row : kRows) {
    bool found = false;
    for (const char* m : row.markers) found = found || (m != nullptr && ContainsNoCase(text, m));
    if (!found) continue;
    if (row.b_form) return DecodeTokenB(text, row, drop_blanks, out);
    return DecodeStripQ(text, row, out);
  }
  if (ContainsNoCase(text, "iso-8859-1") || ContainsNoCase(text, "iso-8859-2"))
    return DecodeLatin(text, out);
  if (HasJisEscape(text)) {
    out = JisToSjisPlain(text);
    return kCharsetSjis;
  }
  out = std::string(text);
  return kCharsetAscii;
}

std::string EncodeHeaderJis(std::string_view sjis, uint32_t code) {
  if (code != kCharsetSjis) return std::string(sjis);
  std::string jis = SjisToJis(sjis, 32768);
  return "=?ISO-2022-JP?B?" + Base64EncodeBytes(jis.data(), jis.size()) + "?=";
}

std::string SjisToJis(std::string_view sjis, size_t limit) {
  std::string out;
  // Room is kept for the escape back to ASCII, so a cut text still ends in it.
  size_t stop = limit > 5 ? limit - 5 : 0;
  bool two_byte = false;
  for (size_t i = 0; i < sjis.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(sjis[i]);
    if (IsSjisLeadByte(c) && i + 1 < sjis.size()) {
      if (out.size() + (two_byte ? 2 : 5) > stop) break;
      if (!two_byte) {
        out += "\x1B$B";
        two_byte = true;
      }
      SjisPairToJis(c, static_cast<unsigned char>(sjis[++i]), out);
      continue;
    }
    if (out.size() + 1 > stop) break;
    if (two_byte) {
      out += "\x1B(J";
      two_byte = false;
    }
    out += c >= 0x80 ? '*' : static_cast<char>(c);
  }
  if (two_byte) out += "\x1B(J";
  return out;
}

std::string JisToSjis(std::string_view jis) {
  std::string out;
  bool two_byte = false;
  for (size_t i = 0; i < jis.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(jis[i]);
    if (c == 0x1B && i + 2 < jis.size()) {
      std::string_view esc = jis.substr(i + 1, 2);
      if (esc == "$B" || esc == "$@") {
        two_byte = true;
        i += 2;
        continue;
      }
      if (esc == "(B" || esc == "(J") {
        two_byte = false;
        i += 2;
        continue;
      }
    }
    if (two_byte && InJisRange(c)) {
      unsigned char c2 = i + 1 < jis.size() ? static_cast<unsigned char>(jis[i + 1]) : 0;
      if (InJisRange(c2)) {
        AppendSjisPair(out, c, c2);
        ++i;
      } else {
        out += kReplacement;  // no Shift_JIS code for this pair; line ends survive
        if (c2 > 0x7E) ++i;
      }
      continue;
    }
    if (c == '\n' && (i == 0 || jis[i - 1] != '\r')) {
      out += "\r\n";
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

std::string JisToSjisPlain(std::string_view jis) {
  std::string out;
  bool two_byte = false;
  for (size_t i = 0; i < jis.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(jis[i]);
    if (c == 0x1B && i + 2 < jis.size() && (jis[i + 1] == '$' || jis[i + 1] == '(')) {
      two_byte = jis[i + 1] == '$';
      i += 2;
      continue;
    }
    if (two_byte) {
      if (i + 1 >= jis.size()) break;  // half a pair at the end
      AppendSjisPair(out, c, static_cast<unsigned char>(jis[++i]));
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

std::string DecodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c != '=') {
      out += c;
    } else if (i + 1 < n && text[i + 1] == '\r') {
      i += 2;  // soft line break: "=", CR and the LF
    } else if (i + 2 >= n) {
      // a dangling "=" at the very end is dropped
    } else if (HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += '=';
    }
  }
  return out;
}

void DecodeQuotedPrintableInPlace(char* text) {
  if (text == nullptr) return;
  std::string decoded = DecodeQuotedPrintable(text);
  std::memcpy(text, decoded.data(), decoded.size());
  text[decoded.size()] = '\0';
}

void DecodeBase64InPlace(char* text) {
  if (text == nullptr) return;
  std::string compact;
  for (const char* p = text; *p != '\0'; ++p)
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') compact += *p;
  std::vector<uint8_t> bytes(compact.size() / 4 * 3 + 3);
  size_t n = Base64Decode(compact, bytes.data(), bytes.size());
  // Never longer than the text it replaces.
  size_t room = std::strlen(text);
  if (n > room) n = room;
  std::memcpy(text, bytes.data(), n);
  text[n] = '\0';
}

uint32_t DetectCharset(const char* text) {
  if (text == nullptr) return kCharsetAbsent;
  if (FindNoCase(text, "charset=iso-2022-jp")) return kCharsetJis;
  if (FindNoCase(text, "charset=shift_jis") || FindNoCase(text, "charset=x-sjis") ||
      FindNoCase(text, "charset=shift-jis"))
    return kCharsetSjis;
  if (FindNoCase(text, "charset=iso-8859")) return kCharsetLatin;
  if (FindNoCase(text, "charset=big5")) return kCharsetBig5;
  if (FindNoCase(text, "charset=gb2312")) return kCharsetGb2312;
  if (FindNoCase(text, "charset=hz-gb-2312")) return kCharsetHz;
  if (HasJisEscape(text)) return kCharsetJis;
  if (LooksLikeShiftJis(text)) return kCharsetSjis;
  return kCharsetUnknown;
}

bool HasJisEscape(const char* text) {
  return text != nullptr && HasJisEscape(std::string_view(text));
}

int LooksLikeShiftJis(const char* text) {
  if (text == nullptr) return 0;
  bool seen = false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (!IsSjisLeadByte(*p) || p[1] == 0) continue;
    if (IsSjisLeadByte(p[1])) return 0;
    seen = true;
    ++p;
  }
  return seen ? 1 : 0;
}

void TransliterateLatin(char* text) {
  if (text == nullptr) return;
  for (unsigned char* p = reinterpret_cast<unsigned char*>(text); *p != 0; ++p)
    if (*p >= 0x80) *p = static_cast<unsigned char>(kLatinTable[*p - 0x80]);
}

}  // namespace quillet
