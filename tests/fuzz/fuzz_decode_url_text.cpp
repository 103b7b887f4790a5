// URL text decoding never grows its input and passes plain text unchanged.
#include <cstdlib>

#include "engine/url_decoding.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kestrelin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string decoded = DecodeUrlText(input);
  if (decoded.size() > input.size()) std::abort();
  if (input.find_first_of("%+") == std::string_view::npos && decoded != input) std::abort();
  return 0;
}
