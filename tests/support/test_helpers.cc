#include "support/test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace quillet::testing {

std::vector<std::string> CorpusMessages() {
  std::vector<std::string> paths;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(QUILLET_TEST_DATA_DIR) + "/messages"))
    if (entry.path().extension() == ".eml") paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

bool MatchesExpectedFile(const std::string& path, const std::string& got) {
  if (std::getenv("QUILLET_UPDATE_EXPECTED") != nullptr) {
    std::ofstream(path, std::ios::binary) << got;
    return true;
  }
  if (!std::filesystem::exists(path)) {
    ADD_FAILURE() << "missing " << path;
    return false;
  }
  EXPECT_EQ(got, ReadText(path)) << path;
  return true;
}

}  // namespace quillet::testing
