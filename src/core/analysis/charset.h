#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// Character sets of texts, bodies and parts.
enum CharsetCode : uint32_t {
  kCharsetJis = 1,
  kCharsetSjis = 2,
  kCharsetLatin = 3,
  kCharsetAscii = 4,
  kCharsetBig5 = 5,
  kCharsetGb2312 = 6,
  kCharsetHz = 7,
  kCharsetUnknown = 97,
  kCharsetAbsent = 99,
};

enum TransferEncodingCode : uint32_t {
  kEncoding7bit = 1,
  kEncoding8bit = 2,
  kEncodingQuotedPrintable = 3,
  kEncodingBase64 = 4,
  kEncodingAbsent = 99,
};

inline constexpr size_t kEncodedWordLimit = 65536;

// Decodes the encoded words of a header text into Shift_JIS (or the bytes of
// the character set found); one character set per text. Returns its code.
uint32_t DecodeHeaderText(std::string_view text, std::string& out, bool drop_blanks);
// "=?ISO-2022-JP?B?...?=" for a Shift_JIS text (code 2); other texts unchanged.
std::string EncodeHeaderJis(std::string_view sjis, uint32_t code);
// Shift_JIS to ISO-2022-JP, at most `limit` - 2 bytes; single bytes from 0x80
// up become "*".
std::string SjisToJis(std::string_view sjis, size_t limit);
// ISO-2022-JP to Shift_JIS; a lone LF becomes CR LF.
std::string JisToSjis(std::string_view jis);
// ISO-2022-JP to Shift_JIS, line ends as they are.
std::string JisToSjisPlain(std::string_view jis);
std::string DecodeQuotedPrintable(std::string_view text);
// In-place decoders of a NUL-terminated text; the result is never longer.
void DecodeQuotedPrintableInPlace(char* text);
void DecodeBase64InPlace(char* text);
uint32_t DetectCharset(const char* text);
bool HasJisEscape(const char* text);
int LooksLikeShiftJis(const char* text);
// Replaces every byte from 0x80 up by a similar ASCII character.
void TransliterateLatin(char* text);

}  // namespace quillet
