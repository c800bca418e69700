#include "analysis/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "transport/digests.h"

namespace quillet {
namespace {

// "あい" in Shift_JIS and in ISO-2022-JP.
const std::string kSjis = "\x82\xA0\x82\xA2";
const std::string kJis = "\x1B$B$\"$$\x1B(B";
std::string B64(const std::string& s) {
  return Base64EncodeBytes(s.data(), s.size());
}

TEST(Charset, JisAndShiftJisConvertBothWays) {
  EXPECT_EQ(JisToSjis(kJis), kSjis);
  EXPECT_EQ(JisToSjisPlain(kJis), kSjis);
  EXPECT_EQ(SjisToJis(kSjis, 100), "\x1B$B$\"$$\x1B(J");
  EXPECT_EQ(JisToSjis("\x1B$B0!\x1B(B"), "\x88\x9F");
  EXPECT_EQ(JisToSjis("\x1B$B!!\x1B(B"), "\x81\x40");
  EXPECT_EQ(JisToSjis("a\nb\r\nc"), "a\r\nb\r\nc");  // lone LF becomes CR LF
  EXPECT_EQ(JisToSjisPlain("a\nb"), "a\nb");
  EXPECT_EQ(SjisToJis("a\xB1\xB2z", 100), "a**z");  // half-width katakana
  // Cut short, a text still ends with the escape back to ASCII.
  EXPECT_EQ(SjisToJis("x" + kSjis, 12), "x\x1B$B$\"\x1B(J");
  EXPECT_EQ(SjisToJis("x" + kSjis, 9), "x");
  // A pair outside the table gives a replacement, not the end of the text.
  EXPECT_EQ(JisToSjis("\x1B$B$\x10\x1B(Bok"), std::string("\x81\x48\x10ok"));
  EXPECT_EQ(JisToSjisPlain("\x1B$B$"), "");  // half a pair at the end is dropped
}

TEST(Charset, HeaderDecodingByMarkerOrder) {
  std::string word = "=?ISO-2022-JP?B?" + B64(kJis) + "?=";
  struct Case {
    std::string text;
    bool drop;
    std::string out;
    uint32_t code;
  } cases[] = {
      {word + " " + word, true, kSjis + kSjis, 2},
      {word + " " + word, false, kSjis + " " + kSjis, 2},
      {"Re: " + word, true, "Re: " + kSjis, 2},
      {"=?koi8-r?B?8NLJ18XU?=", true, "=?koi8-r?B?8NLJ18XU?=", 4},
      {"=?big5?B?pKSk5Q==?= " + word, true, "?big5?B?pKSk5Q" + kSjis, 2},  // "=" is a separator
      {"=?iso-8859-1?Q?Caf=E9_au_lait?=", true, "Caf\xE9_au_lait", 3},
      {"=?ISO-8859-1?B?Q2Fm6Q==?= ok", true, "Caf\xE9 ok", 3},
      {"=?iso-2022-jp?q?=1B$B$\"$$=1B(B?=", true, kSjis, 2},
      {"=?shift_jis?B?" + B64(kSjis) + "?=", true, kSjis, 2},
      {"=?big5?B?pKSk5Q==?=", true, "\xA4\xA4\xA4\xE5", 5},
      {"=?gb2312?Q?=C4=E3?=", true, "\xC4\xE3", 6},
      {"plain " + kJis, true, "plain " + kSjis, 2},
      {"just text", true, "just text", 4},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(DecodeHeaderText(c.text, out, c.drop), c.code) << c.text;
    EXPECT_EQ(out, c.out) << c.text;
  }
}

TEST(Charset, EncodedWordPayloadWithoutPaddingAndHugeWords) {
  // Nine bytes of JIS: the Base64 has no padding, so the closing "?" stays on the token.
  std::string jis = "\x1B$B$\"\x1B(Bx";
  std::string out;
  DecodeHeaderText("=?ISO-2022-JP?B?" + B64(jis) + "?=", out, true);
  EXPECT_EQ(out, "\x82\xA0x");
  std::string huge = "=?ISO-2022-JP?B?" + std::string(100000, 'Q') + "?=";
  out.clear();
  DecodeHeaderText(huge, out, true);
  EXPECT_LE(out.size(), kEncodedWordLimit);
}

TEST(Charset, QuotedPrintableEdges) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"soft=\r\nbreak", "softbreak"},
      {"end=4", "end4"},
      {"end=", "end"},
      {"=41=62c", "Abc"},
      {"=zzy", "=zzy"},
      {"a=3d=3Db", "a==b"},
      {"under_score", "under_score"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeQuotedPrintable(c.in), c.out) << c.in;
  char text[] = "x=41y";
  DecodeQuotedPrintableInPlace(text);
  EXPECT_STREQ(text, "xAy");
  char b64[] = "SGVs\r\n bG8=";
  DecodeBase64InPlace(b64);
  EXPECT_STREQ(b64, "Hello");
  char junk[] = "!!!!";
  DecodeBase64InPlace(junk);  // garbage decodes to zero bytes, never past the text
  EXPECT_EQ(junk[0], '\0');
}

TEST(Charset, DetectionAndEscapes) {
  struct Case {
    const char* text;
    uint32_t code;
  } cases[] = {{"text/plain; charset=\"ISO-2022-JP\"", 97},  // quoted: no "charset=iso..." text
               {"text/plain; charset=iso-2022-jp", 1},
               {"charset=x-sjis", 2},
               {"charset=iso-8859-15", 3},
               {"charset=big5", 5},
               {"charset=gb2312", 6},
               {"charset=hz-gb-2312", 7},
               {"no parameter \x1B$B", 1},
               {"\x82\xA0 and text", 2},
               {"plain ascii", 97}};
  for (const Case& c : cases) {
    EXPECT_EQ(DetectCharset(c.text), c.code) << c.text;
  }
  EXPECT_EQ(DetectCharset(nullptr), 99u);
  EXPECT_TRUE(HasJisEscape("a\x1B(Bb"));
  EXPECT_FALSE(HasJisEscape("a\x1B"));
  EXPECT_FALSE(HasJisEscape(nullptr));
  EXPECT_EQ(LooksLikeShiftJis("\x82\xA0"), 1);
  EXPECT_EQ(LooksLikeShiftJis("\x93\xFA"), 0);  // a trail byte in the lead range rejects
  EXPECT_EQ(LooksLikeShiftJis("ascii"), 0);
}

TEST(Charset, LatinTransliteration) {
  char text[] = "Caf\xE9 \xC0 \xA9 \xFF \x80 \xDF plain";
  TransliterateLatin(text);
  EXPECT_STREQ(text, "Cafe A * y C B plain");
  EXPECT_EQ(EncodeHeaderJis("abc", 4), "abc");
  EXPECT_EQ(EncodeHeaderJis(kSjis, 2), "=?ISO-2022-JP?B?" + B64("\x1B$B$\"$$\x1B(J") + "?=");
}

}  // namespace
}  // namespace quillet
