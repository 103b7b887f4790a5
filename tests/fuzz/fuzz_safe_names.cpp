// The names the rebuild creates from what a server sends: one safe path
// component each, never a separator, a NUL, "." or "..", never too long.
#include <cstdlib>

#include "engine/safe_names.h"
#include "engine/url_decoding.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kestrelin;

namespace {

void CheckComponent(std::string_view name) {
  if (name.size() > kMaxNameBytes) std::abort();
  if (name == "." || name == "..") std::abort();
  if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckComponent(SafeName(input));
  CheckComponent(SafeName(DecodeUrlText(input)));

  // A working name may be split anywhere by the rebuild; each part it
  // creates goes through SafeName again, so only its length matters here.
  if (WorkingFileName(input).size() > kMaxNameBytes) std::abort();
  return 0;
}
