#include "analysis/header_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "support/message_fixture.h"

namespace quillet {
namespace {

using testing::LoadMessage;

class HeaderParserTest : public ::testing::Test {
 protected:
  void Parse(const std::string& text) { LoadMessage(r, text); }
  static std::string Or(const char* p) { return p != nullptr ? p : "(null)"; }
  MessageRecord r;
};

TEST_F(HeaderParserTest, SplitsHeaderAndBodyAndFindsTheFields) {
  Parse("From: a@x\r\nTo: b@y\r\nSUBJECT: Hi\r\nX-Mailer: M\r\n\r\nbody line\r\n.\r\n");
  EXPECT_EQ(Or(r.from), "From: a@x");
  EXPECT_EQ(Or(r.to), "To: b@y");
  EXPECT_EQ(Or(r.subject), "SUBJECT: Hi");
  EXPECT_EQ(Or(r.xMailer), "X-Mailer: M");
  EXPECT_EQ(Or(r.body), "body line\r\n");  // the POP3 terminator is cut
  EXPECT_EQ(r.cc, nullptr);
  EXPECT_EQ(r.capacity, 1048576u - static_cast<uint32_t>(r.body - r.text));
}

TEST_F(HeaderParserTest, HeaderLineRules) {
  struct Case {
    const char* what;
    std::string text;
    std::string subject, from, to;
  } cases[] = {
      {"blank before colon joins the previous header", "To: t\r\nSubject : x\r\nFrom: f\r\n\r\n",
       "(null)", "From: f", "To: t\r\nSubject : x"},
      {"folded subject keeps its continuation", "Subject: one\r\n two\r\nFrom: f\r\n\r\n",
       "Subject: one\r\n two", "From: f", "(null)"},
      {"tab line with a colon is a new header", "To: t\r\n\tx:y\r\nFrom: f\r\n\r\n", "(null)",
       "From: f", "To: t"},
      {"quoted display name with a colon", "From: \"Doe, J: boss\" <j@x>\r\nTo: t\r\n\r\n",
       "(null)", "From: \"Doe, J: boss\" <j@x>", "To: t"},
      {"unbalanced quote in a subject hides nothing",
       "Subject: say \"hi\r\nFrom: f\r\nTo: t\r\n\r\n", "Subject: say \"hi", "From: f", "To: t"},
      {"unbalanced quote elsewhere hides the rest", "From: \"f\r\nSubject: s\r\nTo: t\r\n\r\n",
       "(null)", "From: \"f\r\nSubject: s\r\nTo: t", "(null)"},
      {"the last of two To lines", "To: first\r\nTo: second\r\n\r\n", "(null)", "(null)",
       "To: second"},
      {"no blank line: no body", "To: t\r\nFrom: f", "(null)", "From: f", "To: t"},
      {"lone LF line ends", "To: t\nFrom: f\nSubject: s\n\r\n\r\nbody", "Subject: s\n", "From: f",
       "To: t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Parse(c.text);
    EXPECT_EQ(Or(r.subject), c.subject);
    EXPECT_EQ(Or(r.from), c.from);
    EXPECT_EQ(Or(r.to), c.to);
  }
}

TEST_F(HeaderParserTest, BodyEndsAndMissingBlankLine) {
  Parse("To: t\r\n\r\nbody\r\n..\r\n");
  EXPECT_EQ(Or(r.body), "body\r\n.");
  Parse("To: t\r\nFrom: f\r\n");
  EXPECT_EQ(r.body, nullptr);
  EXPECT_EQ(Or(r.from), "From: f\r\n");
}

TEST_F(HeaderParserTest, FiftyHeaderLinesAtMost) {
  std::string text;
  for (int i = 1; i <= 59; ++i) text += "X-H" + std::to_string(i) + ": v\r\n";
  text += "To: late\r\n\r\nbody";
  Parse(text);
  EXPECT_EQ(r.to, nullptr);  // the 60th line is not recognised
  // The 50th line ends at its own line end.
  std::string_view header(r.text, static_cast<size_t>(r.body - r.text));
  size_t fiftieth = header.find("X-H50");
  ASSERT_NE(fiftieth, std::string_view::npos);
  EXPECT_STREQ(r.text + fiftieth, "X-H50: v");
  text = "To: early\r\n" + text;
  Parse(text);
  EXPECT_EQ(Or(r.to), "To: early");
}

}  // namespace
}  // namespace quillet
