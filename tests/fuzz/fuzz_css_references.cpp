// The style-sheet scanner over arbitrary text: every reference it reports
// lies inside the text, in order, and the scan stays linear.
#include <cstdlib>
#include <string_view>

#include "engine/css_references.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view css(reinterpret_cast<const char*>(data), size);
  std::size_t last = 0;
  for (const kestrelin::CssReference& ref : kestrelin::FindCssReferences(css)) {
    if (ref.Begin > ref.End || ref.End > css.size() || ref.Begin < last) std::abort();
    last = ref.End;
  }
  return 0;
}
