#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// Base64 of a text up to its first NUL.
std::string Base64EncodeText(const char* text);
// Base64 of bytes that may hold NULs.
std::string Base64EncodeBytes(const void* data, size_t length);
// Decodes four characters at a time into three bytes each; characters outside
// the alphabet ("=" included) count as 0, and a short final group is padded
// with 0. Writes at most `capacity` bytes and returns how many were written.
size_t Base64Decode(std::string_view text, uint8_t* out, size_t capacity);

using Md5Digest = std::array<uint8_t, 16>;

class Md5 {
 public:
  Md5() { Reset(); }
  void Reset();
  void Update(const void* data, size_t length);
  Md5Digest Final();  // also resets the context

 private:
  void Transform(const uint8_t block[64]);
  uint32_t state_[4];
  uint32_t count_[2];  // bit count, low word first
  uint8_t buffer_[64];
};

Md5Digest Md5Of(const void* data, size_t length);
Md5Digest HmacMd5(const void* text, size_t text_length, const void* key, size_t key_length);
// 32 lower-case hexadecimal digits.
std::string HexDigest(const Md5Digest& digest);
// The digest of the APOP command: MD5 over time stamp and password, in hex.
std::string ApopDigest(std::string_view text);

}  // namespace quillet
