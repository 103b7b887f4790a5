#include "tests/support/sandbox.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace kestrelin::test {
namespace fs = std::filesystem;

void SandboxedTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  sandbox_ = fs::temp_directory_path() /
             ("kestrelin-test-" + name + "-" + std::to_string(std::random_device()()));
  fs::create_directories(sandbox_);
}

void SandboxedTest::TearDown() {
  std::error_code ec;
  // Read-only leftovers of a test must not keep the folder alive.
  for (auto it = fs::recursive_directory_iterator(sandbox_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(sandbox_, ec);
}

std::vector<std::string> ListTree(const fs::path& root, bool everything) {
  std::vector<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string relative = fs::relative(it->path(), root).generic_string();
    if (everything && it->is_directory()) files.push_back(relative + "/");
    else if (everything || it->is_regular_file()) files.push_back(relative);
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool LongTests() {
  const char* value = std::getenv("KESTRELIN_LONG_TESTS");
  return value && std::string(value) == "1";
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace kestrelin::test
