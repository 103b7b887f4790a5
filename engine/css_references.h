#pragma once
// Finding the addresses a style sheet names: every url() and every @import,
// with where each address stands in the text, so that link rewriting can
// replace it in place. Used by the crawl (to fetch what a sheet needs) and
// by link rewriting, on the crawl's thread. No state.
//
// The text is read as CSS tokenizing reads it: comments are skipped, strings
// end at their own quote or at a line break, a backslash escapes the next
// character or stands for a code point in hex, and "url(" counts only as a
// whole name. One forward walk, so the cost is linear in the text.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelin {

struct CssReference {
  std::size_t Begin = 0;  // the address as written: inside the quotes, or the
  std::size_t End = 0;    // unquoted text of url() without its blanks
  std::string Url;        // the address with its escapes undone
  bool Import = false;    // named by an @import rule
};

// Every reference of `css`, in text order. Broken input (an unclosed
// string, comment or url()) ends quietly with what was found.
std::vector<CssReference> FindCssReferences(std::string_view css);

}  // namespace kestrelin
