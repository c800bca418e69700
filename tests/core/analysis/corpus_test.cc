// Realistic messages analysed as a computer-form and a mobile-form account,
// compared with reviewed expected files. QUILLET_UPDATE_EXPECTED=1 rewrites
// the expected files (review the difference before committing it).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/charset.h"
#include "analysis/mime_walker.h"
#include "platform/text_encoding.h"
#include "support/message_fixture.h"
#include "support/test_helpers.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  return testing::ReadText(p.string());
}
using testing::Escaped;

std::string Readable(std::string_view bytes, uint32_t charset) {
  std::string sjis =
      HasJisEscape(std::string(bytes).c_str()) ? JisToSjisPlain(bytes) : std::string(bytes);
  if (charset == kCharsetLatin) {
    std::string utf8;
    for (unsigned char c : sjis) {
      if (c < 0x80) {
        utf8 += static_cast<char>(c);
      } else {
        utf8 += static_cast<char>(0xC0 | (c >> 6));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return utf8;
  }
  return SjisToUtf8(sjis);
}

std::string Describe(const std::string& message, const Account& account) {
  MessageRecord r;
  testing::LoadMessage(r, message);
  std::string subject = "(none)";
  if (r.subject != nullptr) {
    std::string decoded;
    uint32_t code = DecodeHeaderText(r.subject, decoded, true);
    subject = Readable(decoded, code);
  }
  AnalysisContext context;
  int result = AnalyseMessage(r, account, context);
  std::ostringstream out;
  out << "result: " << result << "\nresultCode: " << r.resultCode << "\nbodyType: " << r.bodyType
      << "\nbodyCharset: " << r.bodyCharset << "\nbodyEncoding: " << r.bodyEncoding
      << "\nparts: " << r.partCount << "\nsubject: " << subject << "\n";
  std::string body = r.body != nullptr ? r.body : "";
  out << "--- body as text ---\n" << Readable(body, r.bodyCharset);
  if (!body.ends_with("\n")) out << "\n";
  out << "--- body bytes ---\n" << Escaped(body);
  if (!body.empty() && !Escaped(body).ends_with("\n")) out << "\n";
  return out.str();
}

std::unique_ptr<Account> ComputerAccount() {
  auto a = testing::DefaultAccount();
  a->size_filter = 1;
  a->size_limit_kb = 1;
  return a;
}

std::unique_ptr<Account> MobileAccount() {
  auto a = testing::DefaultAccount();
  a->mobile_enabled = 1;
  a->wrap_enabled = 1;
  a->wrap_bytes = 40;
  a->citation_filter = 1;
  return a;
}

TEST(Corpus, AnalysedMessagesMatchTheReviewedFiles) {
  std::vector<std::string> messages = testing::CorpusMessages();
  EXPECT_EQ(messages.size(), 8u);
  for (const std::string& path : messages) {
    std::string message = ReadAll(path);
    EXPECT_TRUE(testing::MatchesExpectedFile(path.substr(0, path.size() - 4) + ".computer.expected",
                                             Describe(message, *ComputerAccount())));
    EXPECT_TRUE(testing::MatchesExpectedFile(path.substr(0, path.size() - 4) + ".mobile.expected",
                                             Describe(message, *MobileAccount())));
  }
}

}  // namespace
}  // namespace quillet
