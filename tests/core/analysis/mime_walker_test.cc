#include "analysis/mime_walker.h"

#include <gtest/gtest.h>

#include "analysis/charset.h"
#include "support/message_fixture.h"

namespace quillet {
namespace {

using testing::LoadMessage;

class MimeWalkerTest : public ::testing::Test {
 protected:
  int Analyse(const std::string& text) {
    LoadMessage(r, text);
    return AnalyseMessage(r, *a, context);
  }
  std::string Body() const { return r.body != nullptr ? r.body : "(null)"; }
  void Mobile() { a->mobile_enabled = 1; }
  void OverLimit(bool skip = false) {
    a->size_filter = 1;
    a->size_limit_kb = 0;
    a->size_filter_skip = skip ? 1 : 0;
  }

  MessageRecord r;
  std::unique_ptr<Account> a = testing::DefaultAccount();
  AnalysisContext context;
};

std::string Attachment(const std::string& disposition, size_t body_length,
                       const std::string& type = "application/octet-stream") {
  return "Content-Type: " + type + "\r\nContent-Disposition: " + disposition + "\r\n\r\n" +
         std::string(body_length, 'A');
}

TEST_F(MimeWalkerTest, FileNameRuleThresholds) {
  Mobile();
  struct Case {
    std::string disposition;
    size_t length;
    std::string body;
  } cases[] = {
      {"attachment", 20, "\r\n"},
      {"attachment", 21, "(FILE_REMOVED)\r\n"},
      {"attachment", 4, "AAAA"},
      {"attachment; filename=\"ab.txt\"", 24, "\r\n"},
      {"attachment; filename=\"ab.txt\"", 25, "(FILE_REMOVED)\r\n"},
      {"attachment; filename=\"ab.txt\"", 32, "(FILE_REMOVED)\r\n"},
      {"attachment; filename=\"ab.txt\"", 33, "--REMOVED_FILE--\r\nab.txt\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Analyse(Attachment(c.disposition, c.length)), 1);
    EXPECT_EQ(Body(), c.body) << c.disposition << " " << c.length;
    EXPECT_EQ(r.resultCode, 7u);
  }
  a->omit_removed_file_info = 1;
  Analyse(Attachment("attachment; filename=\"ab.txt\"", 40));
  EXPECT_EQ(Body(), "\r\n");
}

TEST_F(MimeWalkerTest, ImageRuleThresholds) {
  Mobile();
  for (auto [length, body] :
       {std::pair<size_t, std::string>{21, "\r\n"}, {22, "(IMAGE_REMOVED)\r\n"}, {4, "AAAA"}}) {
    EXPECT_EQ(Analyse("Content-Type: image/png\r\n\r\n" + std::string(length, 'A')), 1);
    EXPECT_EQ(Body(), body) << length;
    EXPECT_EQ(r.bodyType, length >= 5 ? 1u : 98u);  // a removed image leaves plain text
  }
}

TEST_F(MimeWalkerTest, ComputerFormSinglePart) {
  // Without the size filter nothing is rewritten.
  std::string html = "Content-Type: text/html\r\n\r\n<p>Hello<br>world</p>\r\n";
  EXPECT_EQ(Analyse(html), 1);
  EXPECT_EQ(Body(), "<p>Hello<br>world</p>\r\n");
  // With it, within the limit, HTML becomes text.
  a->size_filter = 1;
  a->size_limit_kb = 100;
  EXPECT_EQ(Analyse(html), 1);
  EXPECT_EQ(Body(), "\r\nHello\r\nworld\r\n");
  EXPECT_EQ(r.bodyType, 1u);
  EXPECT_EQ(r.resultCode, 0u);
  // Over the limit: attachments go, skip means not at all.
  OverLimit();
  EXPECT_EQ(Analyse(Attachment("attachment", 30)), 1);
  EXPECT_EQ(Body(), "(FILE_REMOVED)\r\n");
  EXPECT_EQ(r.resultCode, 2u);
  OverLimit(true);
  EXPECT_EQ(Analyse(Attachment("attachment", 30)), 0);
  EXPECT_EQ(r.resultCode, 1u);
}

TEST_F(MimeWalkerTest, MobileFormRejectsUnsupportedCharsetsAndPartials) {
  Mobile();
  EXPECT_EQ(Analyse("Content-Type: text/plain; charset=utf-8\r\n\r\nhi\r\n"), 0);
  EXPECT_EQ(r.resultCode, 8u);
  EXPECT_EQ(Analyse("Content-Type: message/partial; id=1\r\n\r\nhi\r\n"), 0);
  EXPECT_EQ(r.resultCode, 1u);
  EXPECT_EQ(
      Analyse("Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\nSGVsbG8=\r\n"),
      1);
  EXPECT_EQ(Body(), "Hello");
  EXPECT_EQ(r.resultCode, 7u);
  EXPECT_EQ(r.bodyEncoding, 1u);
}

std::string Alternative(bool plain_first) {
  std::string plain =
      "--XyZ12\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nplain version\r\n";
  std::string html =
      "--XyZ12\r\nContent-Type: text/html; charset=us-ascii\r\n\r\n<p>html version</p>\r\n";
  return "Content-Type: multipart/alternative; boundary=\"XyZ12\"\r\n\r\n" +
         (plain_first ? plain + html : html + plain) + "--XyZ12--\r\n";
}

TEST_F(MimeWalkerTest, MobileAlternativeTakesTheFirstTextAndPlainTextAfterHtml) {
  Mobile();
  EXPECT_EQ(Analyse(Alternative(true)), 1);
  EXPECT_EQ(Body(), "plain version\r\n");
  EXPECT_EQ(r.resultCode, 7u);
  EXPECT_EQ(Analyse(Alternative(false)), 1);
  EXPECT_EQ(Body(), "\r\nhtml version\r\nplain version\r\n");
}

TEST_F(MimeWalkerTest, ComputerMultipartIsRebuiltOnlyOverTheLimit) {
  std::string mixed =
      "Content-Type: multipart/mixed; boundary=\"B0undary\"\r\n\r\npreamble\r\n"
      "--B0undary\r\nContent-Type: text/plain\r\n\r\nsee the file\r\n"
      "--B0undary\r\nContent-Type: application/pdf; name=\"r.pdf\"\r\n"
      "Content-Disposition: attachment; filename=\"r.pdf\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n" +
      std::string(3000, 'Q') + "\r\n--B0undary--\r\n";
  EXPECT_EQ(Analyse(mixed), 1);
  EXPECT_EQ(r.resultCode, 0u);
  EXPECT_NE(Body().find(std::string(3000, 'Q')), std::string::npos);  // unchanged
  OverLimit();
  EXPECT_EQ(Analyse(mixed), 1);
  EXPECT_EQ(r.resultCode, 2u);
  EXPECT_EQ(Body(),
            "--B0undary\r\nContent-Type: text/plain\r\n\r\nsee the file\r\n"
            "--B0undary\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n"
            "\r\n--REMOVED FILE--\r\nr.pdf\r\nSize = 3 KB\r\n"
            "\r\n\r\n--B0undary--\r\n");
  EXPECT_EQ(r.bodyType, 98u);
  // A delivery report is never rewritten in the computer form.
  std::string report =
      "Content-Type: multipart/report; report-type=\"delivery-status\"; "
      "boundary=\"B0undary\"\r\n\r\n"
      "--B0undary\r\nContent-Type: text/plain\r\n\r\nx\r\n--B0undary--\r\n";
  a->no_filter_smtp_errors = 1;
  EXPECT_EQ(Analyse(report), 1);
  EXPECT_EQ(r.resultCode, 0u);
  EXPECT_NE(Body().find("--B0undary--"), std::string::npos);
}

TEST_F(MimeWalkerTest, PartClassification) {
  std::string long_header = "X-Pad: " + std::string(300, 'p') + "\r\n";
  std::string text =
      "Content-Type: multipart/mixed; boundary=\"outer1\"\r\n\r\n"
      "--outer1\r\nContent-Type: text/plain; Charset=iso-2022-jp\r\n\r\none\r\n"
      "--outer1\r\nContent-Disposition: inline\r\n" +
      long_header +
      "Content-Type: text/html\r\n\r\ntwo\r\n"
      "--outer1\r\nContent-Type: multipart/alternative; boundary=inner22\r\n\r\n"
      "--inner22\r\nContent-Type: text/plain\r\n\r\nthree\r\n--inner22--\r\n"
      "--outer1\r\nContent-Type: text/plain; charset=\"ISO-8859-1\"\r\n"
      "Content-Transfer-Encoding: Quoted-Printable\r\n\r\nfour\r\n"
      "--outer1--\r\n";
  LoadMessage(r, text);
  ASSERT_EQ(CollectBoundaries(r), 1);
  ScanParts(r);
  ASSERT_EQ(r.partCount, 5);
  EXPECT_EQ(r.partType[0], 1u);
  EXPECT_EQ(r.partCharset[0], 99u);  // "Charset" with a capital C is not seen
  EXPECT_EQ(r.partType[1], 99u);     // Content-Type beyond 254 significant bytes
  EXPECT_EQ(r.partType[2], 99u);     // the unquoted nested multipart stays one part
  EXPECT_NE(std::string(r.partBody[2]).find("three"), std::string::npos);
  EXPECT_EQ(r.partCharset[3], 3u);
  EXPECT_EQ(r.partEncoding[3], 3u);
  EXPECT_EQ(r.partType[4], 0u);  // the closing delimiter ends the scan
}

TEST_F(MimeWalkerTest, MultipartWithoutUsableBoundaryIsNotForwarded) {
  Mobile();
  EXPECT_EQ(Analyse("Content-Type: multipart/mixed; boundary=\"\"\r\n\r\n--\r\nx\r\n"), 0);
  EXPECT_EQ(r.resultCode, 1u);
}

class CountingHistory : public DuplicateCheck {
 public:
  bool IsAlreadyForwarded(MessageRecord& record, const Account&) override {
    ++calls;
    if (!known) return true;
    record.resultCode = 5;
    return false;
  }
  int calls = 0;
  bool known = false;
};

TEST_F(MimeWalkerTest, TheDuplicateTestComesFirst) {
  CountingHistory history;
  context.duplicates = &history;
  history.known = true;
  EXPECT_EQ(Analyse("Subject: Returned mail: x\r\n\r\nbody\r\n"), 0);
  EXPECT_EQ(r.resultCode, 5u);
  history.known = false;
  EXPECT_EQ(Analyse("Subject: Returned mail: x\r\n\r\nbody\r\n"), 0);
  EXPECT_EQ(r.resultCode, 1u);
  EXPECT_EQ(history.calls, 2);
}

TEST_F(MimeWalkerTest, BodyCharsetWithoutContentType) {
  struct Case {
    std::string body;
    uint32_t charset;
  } cases[] = {{"plain\r\n", 4},
               {"\xC0 la carte\r\n", 3},
               {"caf\xE9\r\n", 1} /* looks like a Shift_JIS pair */,
               {"\x1B$B$\"\x1B(B\r\n", 1},
               {"\x82\xA0\r\n", 1}};
  for (const Case& c : cases) {
    Analyse("Subject: x\r\n\r\n" + c.body);
    EXPECT_EQ(r.bodyCharset, c.charset) << c.body;
    EXPECT_EQ(r.bodyType, 1u);
  }
}

}  // namespace
}  // namespace quillet
