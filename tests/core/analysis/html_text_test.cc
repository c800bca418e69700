#include "analysis/html_text.h"

#include <gtest/gtest.h>

#include "analysis/charset.h"
#include "support/message_fixture.h"

namespace quillet {
namespace {

TEST(HtmlToText, TagsEntitiesBlanksAndEmptyLines) {
  struct Case {
    std::string html, text;
  } cases[] = {
      {"one<br>two<br>", "one\r\ntwo\r\n"},
      {"one<br/>two<p>", "onetwo\r\n"},  // a slash after the name is no break
      {"<P>a</P><P>b</P>", "\r\na\r\nb\r\n"},
      {"&COPY; 2024<br>", "(C) 2024\r\n"},
      {"&#169; x<br>", "&#169; x\r\n"},
      {"<style>p {color: red}</style>Hello<br>", "Hello\r\n"},
      {"<!-- hidden -->Hello<br>", "Hello\r\n"},
      {"<script>var a = 1 < 2;</script>Hi<br>", "Hi\r\n"},
      {"a    b\tc<br>", "a b\tc\r\n"},
      {"<a href=\"x?a&amp;b\">link</a><br>", "link\r\n"},
      {"a<br><br><br><br>b<br>", "a\r\n\r\nb\r\n"},
      {"x &lt;y&gt; &quot;z&quot; &amp; &nbsp;&trade;<br>", "x <y> \"z\" &  (TM)\r\n"},
      {"   indented<br>  too<br>", "indented\r\ntoo\r\n"},
      {"line\r\nbreaks\r\ngo<br>", "linebreaksgo\r\n"},
  };
  for (const Case& c : cases) {
    std::string out;
    HtmlToText(c.html, kCharsetAscii, out);
    EXPECT_EQ(out, c.text) << c.html;
  }
}

TEST(HtmlToText, JapaneseHtmlBecomesShiftJis) {
  std::string out;
  EXPECT_EQ(HtmlToText("<p>\x1B$B$\"\x1B(B</p>", kCharsetJis, out), kCharsetSjis);
  EXPECT_EQ(out, "\r\n\x82\xA0\r\n");
  EXPECT_EQ(HtmlToText("<p>caf\xE9</p>", kCharsetLatin, out), kCharsetLatin);
}

class WrapLinesTest : public ::testing::Test {
 protected:
  std::string Wrap(const std::string& text, uint32_t charset, size_t room = 100000) {
    std::string out;
    WrapLines(text, room, charset, *account, out);
    return out;
  }
  std::unique_ptr<Account> account = testing::DefaultAccount();
};

TEST_F(WrapLinesTest, WidthsFollowTheAccount) {
  FoldWidths w = FoldWidthsFor(*account);
  EXPECT_EQ(w.soft, 72);
  EXPECT_EQ(w.japanese, 80);
  EXPECT_EQ(w.hard, 88);
  account->mobile_enabled = 1;
  account->wrap_enabled = 1;
  account->wrap_bytes = 20;
  w = FoldWidthsFor(*account);
  EXPECT_EQ(w.soft, 20);
  EXPECT_EQ(w.japanese, 23);
  EXPECT_EQ(w.hard, 26);
  account->wrap_bytes = 0;  // a damaged file
  EXPECT_EQ(FoldWidthsFor(*account).soft, 16);
}

TEST_F(WrapLinesTest, ShiftJisIsFoldedOnlyPastTheJapaneseLimitAndNeverSplit) {
  std::string pair = "\x82\xA0";
  std::string eighty;
  for (int i = 0; i < 40; ++i) eighty += pair;
  EXPECT_EQ(Wrap(eighty + "\n", kCharsetSjis), eighty + "\n");
  std::string folded = Wrap(eighty + "a\n", kCharsetSjis);
  std::string first, rest;
  for (int i = 0; i < 37; ++i) first += pair;
  for (int i = 0; i < 3; ++i) rest += pair;
  EXPECT_EQ(folded, first + "\r\n" + rest + "a\n\r\n");
}

TEST_F(WrapLinesTest, LatinLinesBreakAtABlankAfter72OrHardAt89) {
  std::string words;
  for (int i = 0; i < 20; ++i) words += "word ";
  EXPECT_EQ(Wrap(words + "\r\n", kCharsetAscii),
            words.substr(0, 74) + "\r\n" + words.substr(74) + "\r\n\r\n");
  std::string solid(100, 'x');
  EXPECT_EQ(Wrap(solid + "\r\n", kCharsetAscii),
            solid.substr(0, 89) + "\r\n" + solid.substr(89) + "\r\n\r\n");
  EXPECT_EQ(Wrap(solid + solid, kCharsetAscii), solid + solid);  // no LF: unchanged
}

TEST_F(WrapLinesTest, RoomIsNeverExceeded) {
  std::string solid(200, 'x');
  std::string text = solid + "\r\n";
  std::string out = Wrap(text, kCharsetAscii, text.size());
  EXPECT_EQ(out.size(), text.size() - 6 + 2);
  EXPECT_TRUE(out.ends_with("\r\n"));
  for (size_t room : {size_t{0}, size_t{1}, size_t{7}, size_t{50}})
    EXPECT_LT(Wrap(text, kCharsetAscii, room).size(), room + 1 + 2) << room;
}

TEST_F(WrapLinesTest, CitationPrefixRepeatsOnContinuationLinesInTheMobileForm) {
  account->mobile_enabled = 1;
  account->citation_filter = 1;
  std::string quoted = "> " + std::string(100, 'q');
  std::string out = Wrap(quoted + "\nplain " + std::string(100, 'p') + "\n", kCharsetAscii);
  EXPECT_EQ(out, quoted.substr(0, 89) + "\r\n>" + quoted.substr(89) + "\nplain " +
                     std::string(83, 'p') + "\r\n" + std::string(17, 'p') + "\n\r\n");
  std::string prefix;
  EXPECT_EQ(FindCitationPrefix(*account, "| cited", prefix), 1);
  EXPECT_EQ(prefix, "|");
  account->mobile_enabled = 0;
  EXPECT_EQ(FindCitationPrefix(*account, "| cited", prefix), 0);
}

}  // namespace
}  // namespace quillet
