#pragma once
// Reading the candidates of a srcset or imagesrcset attribute value
// ("a.png 1x, b.png 2x"): where each candidate's address stands in the
// value. Used by the page reading of the crawl and by link rewriting, on the
// crawl's thread. No state; linear in the value.
#include <cstddef>
#include <string_view>
#include <vector>

namespace kestrelin {

struct SrcsetCandidate {
  std::size_t Begin = 0;  // the address within the value
  std::size_t End = 0;
};

// The candidates in order. An address runs to the next blank; commas at its
// end separate it from the next candidate, and otherwise its descriptors
// run to the next comma outside parentheses.
std::vector<SrcsetCandidate> ParseSrcset(std::string_view value);

}  // namespace kestrelin
