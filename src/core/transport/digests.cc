#include "transport/digests.h"

#include <cstring>

namespace quillet {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;
}

uint32_t Rotate(uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

}  // namespace

std::string Base64EncodeText(const char* text) {
  return Base64EncodeBytes(text, std::strlen(text));
}

std::string Base64EncodeBytes(const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (length - i == 1) {
    uint32_t v = p[i] << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (length - i == 2) {
    uint32_t v = (p[i] << 16) | (p[i + 1] << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

size_t Base64Decode(std::string_view text, uint8_t* out, size_t capacity) {
  size_t written = 0;
  for (size_t i = 0; i < text.size(); i += 4) {
    uint32_t v = 0;
    for (size_t j = 0; j < 4; ++j)
      v = (v << 6) | (i + j < text.size() ? Base64Value(text[i + j]) : 0);
    uint8_t bytes[3] = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v)};
    for (uint8_t b : bytes) {
      if (written == capacity) return written;
      out[written++] = b;
    }
  }
  return written;
}

void Md5::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  count_[0] = count_[1] = 0;
  std::memset(buffer_, 0, sizeof buffer_);
}

void Md5::Update(const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t index = (count_[0] >> 3) & 0x3F;
  uint64_t bits =
      (static_cast<uint64_t>(count_[1]) << 32 | count_[0]) + (static_cast<uint64_t>(length) << 3);
  count_[0] = static_cast<uint32_t>(bits);
  count_[1] = static_cast<uint32_t>(bits >> 32);
  size_t part = 64 - index;
  size_t i = 0;
  if (length >= part) {
    std::memcpy(buffer_ + index, p, part);
    Transform(buffer_);
    for (i = part; i + 63 < length; i += 64) Transform(p + i);
    index = 0;
  }
  std::memcpy(buffer_ + index, p + i, length - i);
}

Md5Digest Md5::Final() {
  uint8_t bits[8];
  for (int i = 0; i < 4; ++i) {
    bits[i] = static_cast<uint8_t>(count_[0] >> (8 * i));
    bits[i + 4] = static_cast<uint8_t>(count_[1] >> (8 * i));
  }
  size_t index = (count_[0] >> 3) & 0x3F;
  size_t pad = index < 56 ? 56 - index : 120 - index;
  static const uint8_t kPadding[64] = {0x80};
  Update(kPadding, pad);
  Update(bits, 8);
  Md5Digest digest;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (8 * j));
  Reset();
  return digest;
}

void Md5::Transform(const uint8_t block[64]) {
  static const uint32_t kT[64] = {
      0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
      0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
      0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
      0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
      0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
      0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
      0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
      0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
      0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
      0xeb86d391};
  static const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = block[4 * i] | (block[4 * i + 1] << 8) | (block[4 * i + 2] << 16) |
           (static_cast<uint32_t>(block[4 * i + 3]) << 24);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    uint32_t next = b + Rotate(a + f + kT[i] + x[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

Md5Digest Md5Of(const void* data, size_t length) {
  Md5 md5;
  md5.Update(data, length);
  return md5.Final();
}

Md5Digest HmacMd5(const void* text, size_t text_length, const void* key, size_t key_length) {
  uint8_t k[64] = {};
  if (key_length > 64) {
    Md5Digest hashed = Md5Of(key, key_length);
    std::memcpy(k, hashed.data(), hashed.size());
  } else {
    std::memcpy(k, key, key_length);
  }
  uint8_t inner_pad[64], outer_pad[64];
  for (int i = 0; i < 64; ++i) {
    inner_pad[i] = k[i] ^ 0x36;
    outer_pad[i] = k[i] ^ 0x5C;
  }
  Md5 md5;
  md5.Update(inner_pad, 64);
  md5.Update(text, text_length);
  Md5Digest inner = md5.Final();
  md5.Update(outer_pad, 64);
  md5.Update(inner.data(), inner.size());
  return md5.Final();
}

std::string HexDigest(const Md5Digest& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::string ApopDigest(std::string_view text) {
  return HexDigest(Md5Of(text.data(), text.size()));
}

}  // namespace quillet
