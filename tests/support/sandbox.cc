#include "support/sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quillet::testing {

void SandboxTest::SetUp() {
  std::string pattern = DefaultTemporaryDirectory() + "quillet-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  dirs_.current = root_ + "/cwd";
  dirs_.config = root_ + "/config/quilletpost";
  dirs_.temporary = root_ + "/tmp/";
  ASSERT_TRUE(EnsureDirectory(dirs_.current));
  ASSERT_TRUE(EnsureDirectory(dirs_.temporary));
}

void SandboxTest::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::vector<uint8_t> SandboxTest::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void SandboxTest::WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool SandboxTest::Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

}  // namespace quillet::testing
