// Link rewriting over an arbitrary page or style sheet (first byte: which):
// it must return, and with nothing copied and the page rewritten once, a
// second rewrite must change nothing (absolute addresses stay absolute).
#include <cstdlib>
#include <string>

#include "engine/offline_links.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kestrelin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool styleSheet = (fuzz::TakeByte(input) & 1) != 0;
  static const CopyPaths copied = {{"http://h.org/d/a.png", "d/a.png"},
                                   {"http://h.org/s.css", "s.css"}};
  const char* base = "http://h.org/d/p.html";
  const std::string once = RewriteLinks(input, styleSheet, base, "d/p.html", copied);
  const std::string twice = RewriteLinks(once, styleSheet, base, "d/p.html", copied);
  if (twice != once) std::abort();
  return 0;
}
