#include "platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>

namespace quillet {
namespace {

// Length of the UTF-8 sequence that starts with `c` (1 for a stray byte).
size_t Utf8Length(unsigned char c) {
  if (c >= 0xF0 && c <= 0xF4) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC2 && c < 0xE0) return 2;
  return 1;
}

// Converts with iconv, replacing every input character that fails by `replacement`.
std::string Convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement, bool from_utf8) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (unsigned char c : in)
      out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(replacement);
    return out;
  }
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char buffer[1024];
  while (src_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: one bad character, replace it and go on.
      out += replacement;
      size_t skip = from_utf8 ? Utf8Length(static_cast<unsigned char>(*src)) : 1;
      if (skip > src_left) skip = src_left;
      src += skip;
      src_left -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  return Convert("UTF-8", "CP932", sjis, "\xEF\xBF\xBD", false);
}

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Convert("CP932", "UTF-8", utf8, "?", true);
}

}  // namespace quillet
