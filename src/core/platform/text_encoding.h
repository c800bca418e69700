#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Converts internal Shift_JIS (code page 932) text to UTF-8 for the console.
// Bytes that do not convert are shown as U+FFFD; ASCII passes unchanged.
std::string SjisToUtf8(std::string_view sjis);

// Converts UTF-8 typed by the user to the internal Shift_JIS form; characters
// without a Shift_JIS form become "?".
std::string Utf8ToSjis(std::string_view utf8);

// Lead byte of a double-byte Shift_JIS character.
inline bool IsSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace quillet
