#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace quillet::testing {

// A test with its own directories under TMPDIR, removed afterwards: a working
// directory, a per-user config directory and a temporary directory.
class SandboxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Directories dirs() const { return dirs_; }
  std::string root() const { return root_; }

  static std::vector<uint8_t> ReadFile(const std::string& path);
  static void WriteFile(const std::string& path, const void* data, size_t size);
  static void WriteFile(const std::string& path, const std::string& text) {
    WriteFile(path, text.data(), text.size());
  }
  static bool Exists(const std::string& path);

 private:
  std::string root_;
  Directories dirs_;
};

}  // namespace quillet::testing
