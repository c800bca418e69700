// The forwarded pieces of the message corpus for a computer-form account and
// a mobile account with most options on, compared with reviewed files.
// QUILLET_UPDATE_EXPECTED=1 rewrites them (review the difference first).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/mime_walker.h"
#include "compose/compose_forward.h"
#include "support/message_fixture.h"
#include "support/sandbox.h"
#include "support/test_helpers.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  return testing::ReadText(p.string());
}
using testing::Escaped;

std::unique_ptr<Account> Forwarding(bool mobile) {
  auto a = testing::DefaultAccount();
  SetText(a->mail_address, "me@home.example");
  SetText(a->forward_to, "phone@mobile.example");
  if (!mobile) {
    a->size_filter = 1;
    a->size_limit_kb = 1;
    return a;
  }
  a->mobile_enabled = 1;
  a->wrap_enabled = 1;
  a->wrap_bytes = 40;
  a->citation_filter = 1;
  a->add_subject_to_body = 1;
  a->add_sender_to_body = 1;
  a->shorten_subject = 1;
  a->subject_max_bytes = 20;
  a->minimum_headers = 1;
  a->remove_spaces = 1;
  a->remove_blank_lines = 1;
  a->remove_repeated_chars = 1;
  a->cut_after_original = 1;
  a->divide_enabled = 1;
  a->divide_bytes = 200;
  a->divide_max_pieces = 3;
  a->number_in_subject = 1;
  a->add_resent_headers = 0;
  return a;
}

class ForwardCorpus : public testing::SandboxTest {};

TEST_F(ForwardCorpus, ForwardedPiecesMatchTheReviewedFiles) {
  std::vector<std::string> messages = testing::CorpusMessages();
  EXPECT_EQ(messages.size(), 8u);
  for (const std::string& path : messages) {
    for (bool mobile : {false, true}) {
      auto account = Forwarding(mobile);
      MessageRecord r;
      testing::LoadMessage(r, ReadAll(path));
      AnalysisContext context;
      std::string got;
      if (AnalyseMessage(r, *account, context) == 0) {
        got = "not forwarded, resultCode " + std::to_string(r.resultCode) + "\n";
      } else {
        std::string error;
        ASSERT_EQ(ComposeForward(r, *account, dirs().temporary, error), 1) << error;
        for (int i = 0; i < r.pieceCount; ++i)
          got += "=== piece " + std::to_string(i) + "\n" +
                 Escaped(ReadAll(PieceFilePath(dirs().temporary, i))) + "\n";
      }
      std::string form = mobile ? ".forward-mobile" : ".forward-computer";
      EXPECT_TRUE(
          testing::MatchesExpectedFile(path.substr(0, path.size() - 4) + form + ".expected", got));
    }
  }
}

}  // namespace
}  // namespace quillet
