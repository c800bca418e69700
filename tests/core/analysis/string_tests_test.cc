#include "analysis/string_tests.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

TEST(StringTests, PrefixSuffixAndSearch) {
  const char* upper = "SUBJECT: Hello";
  EXPECT_EQ(StartsWithNoCase(upper, "subject:"), upper);
  EXPECT_EQ(StartsWithNoCase(upper, "SUBJECT:"), nullptr);  // the pattern is not lower-cased
  EXPECT_EQ(StartsWithNoCase("Sub", "subject:"), nullptr);
  EXPECT_NE(StartsWith("+OK ready", "+OK"), nullptr);
  EXPECT_EQ(StartsWith("+ok", "+OK"), nullptr);
  EXPECT_NE(StartsWith("x", ""), nullptr);
  EXPECT_NE(EndsWith("body\r\n.\r\n", ".\r\n"), nullptr);
  EXPECT_EQ(EndsWith(".\n", ".\r\n"), nullptr);  // shorter than the pattern
  EXPECT_NE(EndsWith("abc", ""), nullptr);
  const char* text = "Content-Type: TEXT/Html";
  EXPECT_EQ(FindNoCase(text, "text/html"), text + 14);
  EXPECT_EQ(FindNoCase(text, "TEXT/HTML"), text + 14);  // both sides lower-cased
  EXPECT_EQ(FindNoCase("ab", "abc"), nullptr);
  EXPECT_EQ(ContainsNoCase("abc", ""), 0);
  EXPECT_EQ(ContainsNoCase("aBc", "b"), 1);
}

TEST(StringTests, SquashedTestsIgnoreBlanksAndQuotesUpTo254Bytes) {
  const char* line = "Content-Type: multipart/mixed;\r\n\tboundary=\"xyz\"";
  EXPECT_EQ(StartsWithSquashed(line, "content-type:multipart/mixed;"), line);
  EXPECT_NE(ContainsSquashed(line, "boundary=xyz"), nullptr);
  EXPECT_EQ(StartsWithSquashed("ab", "abc"), nullptr);
  std::string long_line = "Content-Type: " + std::string(300, 'x') + " report-type=delivery-status";
  EXPECT_EQ(ContainsSquashed(long_line.c_str(), "report-type=delivery-status"), nullptr);
  std::string short_line = "Content-Type: multipart/report; report-type=\"delivery-status\"";
  EXPECT_NE(ContainsSquashed(short_line.c_str(), "report-type=delivery-status"), nullptr);
}

}  // namespace
}  // namespace quillet
