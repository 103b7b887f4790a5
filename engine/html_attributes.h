#pragma once
// Reading a page's tags the way an HTML tokenizer does, for the addresses in
// their attributes and in <style> blocks, with where each value stands in
// the page text so that it can be replaced in place. Comments, <!...>,
// <?...> and end tags are passed over; the contents of script, style,
// textarea, title and the other raw-text elements are never read as tags.
// Used by page reading and link rewriting on the crawl's thread. One
// forward walk: linear in the page. No state.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kestrelin {

struct HtmlAttribute {
  std::string Tag;        // lower case
  std::string Name;       // lower case
  std::size_t Begin = 0;  // the value as written, without its quotes
  std::size_t End = 0;
};

// Calls `onAttribute` for every attribute that has a value, in page order,
// and `onStyleBlock` with the range of every <style> element's contents.
void ReadHtmlTags(std::string_view html,
                  const std::function<void(const HtmlAttribute&)>& onAttribute,
                  const std::function<void(std::size_t begin, std::size_t end)>& onStyleBlock);

}  // namespace kestrelin
