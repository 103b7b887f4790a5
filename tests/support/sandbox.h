#pragma once
// Gives each test its own temporary folder, removed afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kestrelin::test {

// Every regular file below `root` (with `everything`, every entry, folders
// ending with "/"), as paths relative to it, sorted.
std::vector<std::string> ListTree(const std::filesystem::path& root, bool everything = false);
// KESTRELIN_LONG_TESTS=1 asks for the long forms of the big crawls.
bool LongTests();
std::string ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);

class SandboxedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The sandbox folder, without a final separator.
  const std::filesystem::path& Sandbox() const { return sandbox_; }
  std::string SandboxPath(const std::string& relative) const {
    return (sandbox_ / relative).string();
  }
  // Creates parent folders as needed.
  void WriteFileAt(const std::string& relative, const std::string& bytes) const {
    WriteWholeFile(sandbox_ / relative, bytes);
  }
  std::string ReadFileAt(const std::string& relative) const {
    return ReadWholeFile(sandbox_ / relative);
  }

 private:
  std::filesystem::path sandbox_;
};

}  // namespace kestrelin::test
