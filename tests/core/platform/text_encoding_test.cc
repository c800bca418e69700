#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(TextEncoding, ShiftJisToUtf8AndBack) {
  struct Case {
    std::string sjis, utf8;
  } cases[] = {
      {"plain ascii", "plain ascii"},
      {"\x82\xA0\x82\xA2", "\xE3\x81\x82\xE3\x81\x84"},  // two hiragana
      {"\xB1", "\xEF\xBD\xB1"},                          // half-width katakana
      {"a\x81\x40z", "a\xE3\x80\x80z"},                  // ideographic space
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SjisToUtf8(c.sjis), c.utf8);
    EXPECT_EQ(Utf8ToSjis(c.utf8), c.sjis);
  }
}

TEST(TextEncoding, BadBytesAreReplacedNotDropped) {
  EXPECT_EQ(SjisToUtf8("a\x82"), "a\xEF\xBF\xBD");  // lone lead byte at the end
  EXPECT_EQ(SjisToUtf8("\xA0x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf8ToSjis("\xF0\x9F\x98\x80!"), "?!");  // no Shift_JIS form: one mark per character
}

TEST(TextEncoding, LeadBytes) {
  for (int c : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(IsSjisLeadByte(static_cast<unsigned char>(c)));
  for (int c : {0x80, 0xA0, 0xDF, 0xFD, 0x41})
    EXPECT_FALSE(IsSjisLeadByte(static_cast<unsigned char>(c)));
}

}  // namespace
}  // namespace quillet
