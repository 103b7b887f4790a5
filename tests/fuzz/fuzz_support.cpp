#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kestrelin::fuzz {
namespace {

std::filesystem::path ScratchPath() {
  return std::filesystem::temp_directory_path() / ("kestrelin-fuzz-" + std::to_string(::getpid()));
}

void RemoveScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(ScratchPath(), ignored);
}

}  // namespace

const std::string& ScratchFolder() {
  static const std::string folder = [] {
    const auto path = ScratchPath();
    std::filesystem::create_directories(path);
    std::atexit(RemoveScratchFolder);
    return path.string();
  }();
  return folder;
}

FuzzContext::FuzzContext()
    : Cache(ScratchFolder() + "/body"),
      Ctx{State, Host, Cache, Files, Time, Types, ScratchFolder()} {
  Host.KeepTrace = false;
  State.CachePath = ScratchFolder() + "/cache";
}

std::uint8_t TakeByte(std::string_view& input) {
  if (input.empty()) return 0;
  const auto byte = static_cast<std::uint8_t>(input.front());
  input.remove_prefix(1);
  return byte;
}

}  // namespace kestrelin::fuzz
