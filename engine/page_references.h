#pragma once
// The addresses a page names, read with its tags (html_attributes.h): link
// attributes, every candidate of srcset and imagesrcset, and the url() and
// @import of its <style> blocks and style attributes (css_references.h).
// Used by the crawl's page reading (what a page needs beyond the links the
// plain text scan finds) and by link rewriting. No state; linear in the page.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelin {

struct PageReference {
  enum class Kind {
    Link,     // href, src, lowsrc, background, action: found by the plain scan too
    Needed,   // srcset/imagesrcset candidates, <object data>, poster, CSS
  } What = Kind::Link;
  std::size_t Begin = 0;  // the address as written in the page
  std::size_t End = 0;
  std::string Url;        // the address (CSS escapes undone)
  std::string Attribute;  // the attribute's name; empty for CSS
};

// Every reference of `html`, in page order.
std::vector<PageReference> FindPageReferences(std::string_view html);

// What the page needs beyond the plain scan's links: the Needed references
// and the href links whose address names a folder (ends with "/" before any "?"
// or "#"), which the plain scan drops.
std::vector<std::string> PageNeeds(std::string_view html);

}  // namespace kestrelin
