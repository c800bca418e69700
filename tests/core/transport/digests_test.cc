#include "transport/digests.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

std::string Hex(const Md5Digest& d) {
  return HexDigest(d);
}

TEST(Base64, EncodesTextAndBytes) {
  struct Case {
    std::string in, out;
  } cases[] = {{"", ""},        {"a", "YQ=="},        {"ab", "YWI="},
               {"abc", "YWJj"}, {"abcd", "YWJjZA=="}, {"\xff\xfe\xfd", "//79"}};
  for (const Case& c : cases) {
    EXPECT_EQ(Base64EncodeText(c.in.c_str()), c.out);
    EXPECT_EQ(Base64EncodeBytes(c.in.data(), c.in.size()), c.out);
  }
  std::string plain("tim\0tim\0tanstaaf", 16);
  EXPECT_EQ(Base64EncodeBytes(plain.data(), plain.size()), "dGltAHRpbQB0YW5zdGFhZg==");
  EXPECT_EQ(Base64EncodeText(plain.c_str()), "dGlt");  // text stops at the NUL
}

TEST(Base64, DecodesInGroupsOfFourWithItsQuirks) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"YWJj", "abc"},
      {"YQ==", std::string("a\0\0", 3)},  // padding counts as zero
      {"YWI=", std::string("ab\0", 3)},
      {"YW", std::string("a`\0", 3)},         // a short group is padded with zero
      {"Y!Jj", std::string("`\x02\x63", 3)},  // '!' counts as 0
      {"", ""},
  };
  for (const Case& c : cases) {
    uint8_t out[16] = {};
    size_t n = Base64Decode(c.in, out, sizeof out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), c.out) << c.in;
  }
  uint8_t small[4] = {};
  EXPECT_EQ(Base64Decode("YWJjZGVmZ2hp", small, sizeof small), 4u);  // never past the end
  EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 4), "abcd");
}

TEST(Md5, Rfc1321TestSuite) {
  struct Case {
    std::string in, digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Md5Of(c.in.data(), c.in.size())), c.digest) << c.in;
    // Fed one byte at a time, the digest is the same.
    Md5 md5;
    for (char ch : c.in) md5.Update(&ch, 1);
    EXPECT_EQ(Hex(md5.Final()), c.digest);
  }
}

TEST(HmacMd5, Rfc2104AndLongKeyVectors) {
  std::string key1(16, '\x0b'), key3(16, '\xaa'), data3(50, '\xdd'), long_key(80, '\xaa');
  struct Case {
    std::string key, data, digest;
  } cases[] = {
      {key1, "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
      {"Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
      {key3, data3, "56be34521d144c88dbb8c733f0e8b3f6"},
      {long_key, "Test Using Larger Than Block-Size Key - Hash Key First",
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Hex(HmacMd5(c.data.data(), c.data.size(), c.key.data(), c.key.size())), c.digest);
}

TEST(Apop, Rfc1939Example) {
  EXPECT_EQ(ApopDigest("<1896.697170952@dbc.mtview.ca.us>tanstaaf"),
            "c4c9334bac560ecc979e58001b3e22fb");
}

}  // namespace
}  // namespace quillet
