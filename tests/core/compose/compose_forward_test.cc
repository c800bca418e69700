#include "compose/compose_forward.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "analysis/charset.h"
#include "analysis/mime_walker.h"
#include "compose/address.h"
#include "support/message_fixture.h"
#include "support/sandbox.h"
#include "transport/digests.h"

namespace quillet {
namespace {

using testing::LoadMessage;

class ComposeTest : public testing::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    SetText(a->mail_address, "me@home.example");
    SetText(a->forward_to, "phone@mobile.example  pc@work.example ");
  }
  // Analyses and composes; returns the piece texts.
  std::vector<std::string> Compose(const std::string& message) {
    LoadMessage(r, message);
    AnalysisContext context;
    EXPECT_EQ(AnalyseMessage(r, *a, context), 1);
    std::string error;
    EXPECT_EQ(ComposeForward(r, *a, dirs().temporary, error), 1) << error;
    std::vector<std::string> pieces;
    for (int i = 0; i < r.pieceCount; ++i) {
      std::ifstream in(PieceFilePath(dirs().temporary, i), std::ios::binary);
      std::stringstream s;
      s << in.rdbuf();
      pieces.push_back(s.str());
    }
    return pieces;
  }
  static std::string BodyOf(const std::string& piece) {
    return piece.substr(piece.find("\r\n\r\n") + 4);
  }
  static std::string SubjectOf(const std::string& piece) {
    size_t at = piece.rfind("Subject: ", 0) == 0 ? 0 : piece.find("\r\nSubject: ") + 2;
    return piece.substr(at + 9, piece.find("\r\n", at) - at - 9);
  }
  void MobileOptions() {
    a->mobile_enabled = 1;
    a->add_resent_headers = 0;
  }

  MessageRecord r;
  std::unique_ptr<Account> a = testing::DefaultAccount();
};

const char kFullMessage[] =
    "Received: from mx\r\nDate: Mon, 7 Dec 2026 10:00:00 +0900\r\nFrom: Ann <ann@example.com>\r\n"
    "To: bob@example.org\r\nCc: carol@example.org\r\nReply-To: ann@home.example\r\n"
    "Subject: Hello there\r\nMessage-ID: <m1@example.com>\r\nMIME-Version: 1.0\r\n"
    "In-Reply-To: <m0@example.com>\r\nReferences: <m0@example.com>\r\nX-Priority: 3\r\n"
    "Priority: normal\r\nX-MSMail-Priority: Normal\r\nX-Mailer: Other 1.0\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
    "Body line.\r\n.\r\n";

TEST_F(ComposeTest, PlainAccountWritesTheHeaderBlockInItsOrder) {
  std::vector<std::string> pieces = Compose(kFullMessage);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0],
            "Resent-Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n"
            "Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n"
            "To: bob@example.org\r\n"
            "From: Ann <ann@example.com>\r\n"
            "Reply-To: ann@home.example\r\n"
            "Cc: carol@example.org\r\n"
            "X-MSMail-Priority: Normal\r\nPriority: normal\r\nX-Priority: 3\r\n"
            "MIME-Version: 1.0\r\nIn-Reply-To: <m0@example.com>\r\nReferences: <m0@example.com>\r\n"
            "Message-ID: <m1@example.com>\r\n"
            "Resent-From: me@home.example\r\n"
            "Resent-To: phone@mobile.example, pc@work.example\r\n"
            "Subject: Hello there\r\n"
            "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
            "Content-Transfer-Encoding: 7bit\r\n"
            "X-Mailer: Quillet V3.47.1 \r\n"
            "\r\n"
            "Body line.\r\n\r\n");
}

TEST_F(ComposeTest, HeaderOptions) {
  a->add_resent_headers = 0;
  a->omit_date = 1;
  a->omit_message_id = 1;
  a->destination_in_to = 1;
  a->from_is_own_address = 1;
  std::string piece = Compose(kFullMessage)[0];
  EXPECT_EQ(piece.find("Date:"), std::string::npos);
  EXPECT_EQ(piece.find("Message-ID"), std::string::npos);
  EXPECT_EQ(
      piece.rfind(
          "To: phone@mobile.example\r\nFrom: <me@home.example>\r\nReply-To: ann@home.example\r\n",
          0),
      0u);
  // The sender goes into the body above a rule.
  EXPECT_EQ(BodyOf(piece), "From:Ann <ann@example.com>\r\n-----\r\nBody line.\r\n\r\n");
  a->mobile_enabled = 1;
  a->minimum_headers = 1;
  piece = Compose(kFullMessage)[0];
  EXPECT_EQ(piece.find("Cc:"), std::string::npos);
  EXPECT_EQ(piece.find("MIME-Version"), std::string::npos);
}

TEST_F(ComposeTest, OwnDomainCompletesAddresses) {
  EXPECT_EQ(RewriteAddressHeader("To: a@x.org, b", 100, "home.example", "To:"),
            "To: a@x.org,b@home.example, ");
  EXPECT_EQ(RewriteAddressHeader("To: Taro <taro>", 100, "home.example", "To:"),
            "To:\"Taro \"<taro@home.example>, ");
  EXPECT_EQ(RewriteAddressHeader("Cc: \"Doe, J\" <j>", 100, "d.example", "Cc:"),
            "Cc:\"Doe, J\"<j@d.example>, ");
  EXPECT_EQ(RewriteAddressHeader("To: x (Ex Ample)", 100, "d.example", "To:"),
            "To:\"Ex Ample\" <x@d.example>, ");
  std::string text = "a\r\n\r\nb";
  BreakEmptyLines(text);
  EXPECT_EQ(text, "a  \r\nb");
  a->add_own_domain = 1;
  std::string piece = Compose("To: bob\r\nFrom: ann\r\nSubject: s\r\n\r\nx\r\n")[0];
  EXPECT_NE(piece.find("To:bob@home.example, \r\nFrom:ann@home.example, \r\n"), std::string::npos)
      << piece;
}

TEST_F(ComposeTest, ShortenedSubjectsCompactReplyPrefixes) {
  MobileOptions();
  a->shorten_subject = 1;
  EXPECT_EQ(SubjectOf(Compose("Subject: Re: Fw: Hello\r\n\r\nx\r\n")[0]), "<>Hello");
  a->shorten_first_piece_subject = 1;
  a->subject_max_bytes = 8;
  EXPECT_EQ(SubjectOf(Compose("Subject: Re: A rather long subject\r\n\r\nx\r\n")[0]),
            "<A rather");  // N + 1
  std::string compact = "RE: re:FWD: fw:Lunch";
  CompactReplyPrefixes(compact);
  EXPECT_EQ(compact, "<<>>Lunch");
  // A Japanese subject is cut without splitting a character and sent encoded.
  a->subject_max_bytes = 5;
  std::string jis = "\x1B$B$\"$$$&$($*\x1B(B";  // five hiragana
  std::string piece = Compose("Subject: =?ISO-2022-JP?B?" +
                              Base64EncodeBytes(jis.data(), jis.size()) + "?=\r\n\r\nx\r\n")[0];
  EXPECT_EQ(SubjectOf(piece), EncodeHeaderJis("\x82\xA0\x82\xA2\x82\xA4", 2));
}

TEST_F(ComposeTest, DivisionNumbersThePiecesAndStopsAtTheMaximum) {
  MobileOptions();
  a->divide_enabled = 1;
  a->divide_bytes = 100;
  a->divide_max_pieces = 3;
  a->number_in_subject = 1;
  a->mail_number = 6;  // this message takes number 7
  std::string body;
  for (int i = 0; i < 20; ++i)
    body += "Line number " + std::to_string(i) + " of the long message.\r\n";
  std::vector<std::string> pieces = Compose("Subject: Report\r\n\r\n" + body);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(SubjectOf(pieces[0]), "071)Report");
  EXPECT_EQ(SubjectOf(pieces[1]), "072)Report");
  EXPECT_EQ(SubjectOf(pieces[2]), "073)Report");
  EXPECT_EQ(a->mail_number, 7);
  for (const std::string& p : pieces) EXPECT_LE(BodyOf(p).size(), 100u);
  EXPECT_EQ(BodyOf(pieces[0]), body.substr(0, 72));  // two 36-byte lines fit, a third not
  EXPECT_EQ(pieces[2].find("Line number 6 "),
            std::string::npos);  // beyond the third piece: dropped
  // Without the number switch the prefix is the piece number alone.
  a->number_in_subject = 0;
  EXPECT_EQ(SubjectOf(Compose("Subject: Report\r\n\r\n" + body)[1]), "2)Report");
  // A line longer than a piece never fits: headers only, up to the maximum.
  pieces = Compose("Subject: s\r\n\r\n" + std::string(300, 'x'));  // no line end: never folded
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(BodyOf(pieces[1]), "");
}

TEST_F(ComposeTest, InfoLinesOpenTheBody) {
  MobileOptions();
  a->add_subject_to_body = 1;
  a->add_sender_to_body = 1;
  a->shorten_subject = 1;
  std::string body = BodyOf(
      Compose("From: \"Ann Lee\" <ann@example.com>\r\nSubject: Re: Fw: Hello\r\n\r\nx\r\n")[0]);
  EXPECT_EQ(body, "St:<>Hello\r\nFm:Ann Lee \r\n\r\nx\r\n\r\n\r\n");
  body = BodyOf(Compose("From: <ann@example.com>\r\nSubject: s\r\n\r\nx\r\n")[0]);
  EXPECT_NE(body.find("Fm:ann@example.com\r\n"), std::string::npos);  // no name: the address
  body = BodyOf(Compose("From: ann@example.com (Ann)\r\nSubject: s\r\n\r\nx\r\n")[0]);
  EXPECT_NE(body.find("\r\n(Ann)\r\n"), std::string::npos);
  // A Latin name is folded to ASCII, not taken for Shift_JIS.
  body = BodyOf(Compose(
      "From: =?iso-8859-1?Q?Fran=E7ois?= <f@example.fr>\r\nSubject: caf=E9\r\n\r\nx\r\n")[0]);
  EXPECT_NE(body.find("Fm:Francois \r\n"), std::string::npos) << body;
}

TEST_F(ComposeTest, MobileBodyPreparation) {
  MobileOptions();
  struct Case {
    const char* what;
    std::function<void(Account&)> set;
    std::string body;
    std::string prepared;
  } cases[] = {
      {"citations removed", [](Account& x) { x.citation_filter = 1; },
       "Hi\r\n> one\r\n> two\r\nBye\r\n", "Hi\r\nBye\r\n\r\n"},
      {"first citation kept",
       [](Account& x) {
         x.citation_filter = 1;
         x.citation_keep_first = 1;
       },
       "Hi\r\n> one\r\n> two\r\n| three\r\nBye\r\n", "Hi\r\n> one\r\nBye\r\n\r\n"},
      {"original message with n = 2",
       [](Account& x) {
         x.cut_after_original = 1;
         x.cut_after_original_lines = 2;
       },
       "Hi\r\n-----Original Message-----\r\nFrom: x\r\nSent: y\r\nkeep\r\n",
       "Hi\r\n-ORG_MSG-\r\nkeep\r\n\r\n"},
      {"original message and all below", [](Account& x) { x.cut_after_original = 1; },
       "Hi\r\n--- Original message ---\r\nold\r\n", "Hi\r\n-ORG_MSG_RMVD-\r\n"},
      {"own keyword",
       [](Account& x) {
         x.cut_after_keyword = 1;
         SetText(x.cut_keyword, "--sig \"Sent from\"");
       },
       "Hi\r\nthere\r\nSent from my phone\r\nx\r\n", "Hi\r\nthere\r\n"},
      {"spaces", [](Account& x) { x.remove_spaces = 1; }, " a  b\r\n  c\r\n", "a b\r\nc\r\n\r\n"},
      {"seven identical letters become five", [](Account& x) { x.remove_repeated_chars = 1; },
       "Nooooooo!\r\n", "Nooooo!\r\n\r\n"},
      {"tabs and blank lines",
       [](Account& x) {
         x.remove_tabs = 1;
         x.remove_blank_lines = 1;
       },
       "a\tb\r\n\r\n   \r\nc\r\n", "ab\r\nc\r\n"},
      {"Latin folded to ASCII", [](Account&) {}, "caf\xE9\r\n", "cafe\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    a = testing::DefaultAccount();
    MobileOptions();
    c.set(*a);
    LoadMessage(r, "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n" + c.body);
    r.bodyCharset = 3;  // as the analysis leaves a Latin body
    EXPECT_EQ(PrepareMobileBody(r, *a), c.prepared);
  }
}

TEST_F(ComposeTest, JapaneseBodyIsSentAsIso2022Jp) {
  MobileOptions();
  std::string jis = "\x1B$B$\"$$\x1B(B";
  std::vector<std::string> pieces =
      Compose("Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + jis + "\r\n");
  EXPECT_NE(pieces[0].find("Content-Type: text/plain; charset=\"iso-2022-jp\"\r\n"),
            std::string::npos);
  EXPECT_EQ(BodyOf(pieces[0]), "\x1B$B$\"$$\x1B(J\r\n\r\n\r\n");
  // Many switches between the two sets make JIS much longer; nothing is lost.
  std::string mixed;
  for (int i = 0; i < 50; ++i) mixed += "\x1B$B$\"\x1B(B1";
  pieces = Compose("Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + mixed);
  EXPECT_NE(BodyOf(pieces[0]).find(std::string("\x1B$B$\"\x1B(J1\r\n")), std::string::npos);
}

TEST_F(ComposeTest, AMessageWithoutABlankLineKeepsTheHeaderBlockWhole) {
  a->add_resent_headers = 0;
  std::string piece = Compose("From: a@x\r\nSubject: last line\r\n")[0];
  EXPECT_EQ(piece.find("\r\n\r\n"), piece.find("X-Mailer: Quillet V3.47.1 \r\n\r\n") + 26);
  EXPECT_NE(piece.find("Subject: last line\r\nContent-Type"), std::string::npos);
}

TEST_F(ComposeTest, APieceFileThatCannotBeWrittenFailsTheMessage) {
  LoadMessage(r, "Subject: s\r\n\r\nx\r\n");
  AnalysisContext context;
  AnalyseMessage(r, *a, context);
  r.pieceCount = 5;  // left from an earlier message
  std::string error;
  EXPECT_EQ(ComposeForward(r, *a, root() + "/no/such/dir/", error), 0);
  EXPECT_EQ(r.pieceCount, 0);
  EXPECT_EQ(error.rfind("Error: Cannot write the piece file ", 0), 0u);
}

}  // namespace
}  // namespace quillet
