// Malformed and hostile messages: each is analysed in both forms, over the
// size limit so that every rewriting step runs, without crashing, without
// leaving the buffer (AddressSanitizer watches) and in reasonable time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "analysis/mime_walker.h"
#include "support/message_fixture.h"

namespace quillet {
namespace {

std::string ManyParts(int parts) {
  std::string text = "Content-Type: multipart/mixed; boundary=\"bnd00\"\r\n\r\n";
  for (int i = 0; i < parts; ++i)
    text += "--bnd00\r\nContent-Type: text/plain\r\n\r\npart " + std::to_string(i) + "\r\n";
  return text + "--bnd00--\r\n";
}

TEST(HostileInput, IsAnalysedSafelyAndQuickly) {
  std::string megabyte(1 << 20, 'x');
  std::string huge_word = "=?ISO-2022-JP?B?" + std::string(100000, 'G') + "?=";
  std::string nuls("Subject: a\0b\r\nTo: x\0\r\n\r\nbo\0dy\r\n", 30);
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"no headers", "just some text without any header\r\nand more\r\n"},
      {"nothing", std::string(1, '\0')},
      {"a header of 1 MB", "Subject: " + megabyte + "\r\n\r\nbody\r\n"},
      {"colons everywhere", std::string(200000, ':') + "\r\n\r\nbody"},
      {"quotes everywhere", std::string(200000, '"') + ":\r\n\r\nbody"},
      {"10,000 parts", ManyParts(10000)},
      {"boundaries that never close",
       "Content-Type: multipart/mixed; boundary=\"open1\"\r\n\r\n--open1\r\nContent-Type: "
       "text/html\r\n"
       "<p>no blank line " +
           megabyte.substr(0, 5000) + "\r\n--open1\r\nContent-"},
      {"nested boundaries everywhere",
       "Content-Type: multipart/mixed; boundary=\"aaaaa\"\r\n\r\n" +
           [] {
             std::string s;
             for (int i = 0; i < 200; ++i)
               s += "--aaaaa\r\nContent-Type: multipart/mixed; boundary=\"b" +
                    std::to_string(10000 + i) + "\"\r\n\r\n--b" + std::to_string(10000 + i) +
                    "\r\n";
             return s;
           }()},
      {"encoded words of 100 KB",
       "Subject: " + huge_word +
           "\r\nContent-Type: application/x\r\nContent-Disposition: attachment; "
           "filename=\"" +
           huge_word + "\"\r\n\r\n" + megabyte.substr(0, 3000)},
      {"lone ESC bytes",
       "Subject: \x1B$B\x1B\r\nContent-Type: text/html; "
       "charset=iso-2022-jp\r\n\r\n<p>\x1B$B$\x1B(\x1B"},
      {"invalid base64",
       "Content-Type: text/html\r\nContent-Transfer-Encoding: "
       "base64\r\n\r\n!!!!****====\x80\x81\r\n"},
      {"NUL bytes", nuls},
      {"one long Shift_JIS line", "Content-Type: text/plain; charset=shift_jis\r\n\r\n" +
                                      [] {
                                        std::string s;
                                        for (int i = 0; i < 100000; ++i) s += "\x82\xA0";
                                        return s + "\n";
                                      }()},
      {"many short lines of HTML", "Content-Type: text/html\r\n\r\n" +
                                       [] {
                                         std::string s;
                                         for (int i = 0; i < 50000; ++i) s += "<br><p>&amp;\r\n";
                                         return s;
                                       }()},
  };
  for (const Case& c : cases) {
    for (int mobile = 0; mobile <= 1; ++mobile) {
      SCOPED_TRACE(std::string(c.what) + (mobile ? " (mobile)" : " (computer)"));
      auto account = testing::DefaultAccount();
      account->mobile_enabled = static_cast<int16_t>(mobile);
      account->size_filter = 1;
      account->size_limit_kb = 0;
      account->citation_filter = 1;
      MessageRecord r;
      testing::LoadMessage(r, c.text);
      auto start = std::chrono::steady_clock::now();
      AnalysisContext context;
      int result = AnalyseMessage(r, *account, context);
      double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      EXPECT_LT(seconds, 10.0);
      EXPECT_TRUE(result == 0 || result == 1);
      EXPECT_LE(r.partCount, kMaxParts);
      if (r.body != nullptr) {
        size_t room = r.bufferSize - static_cast<size_t>(r.body - r.text);
        EXPECT_LT(strnlen(r.body, room), room);  // still terminated inside the buffer
      }
    }
  }
}

}  // namespace
}  // namespace quillet
