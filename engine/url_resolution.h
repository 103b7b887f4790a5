#pragma once
// Resolving an address against the address of the page or style sheet that
// names it, as a browser does (reference resolution with dot segments
// removed). Used by the crawl's page reading and by link rewriting. No state.
#include <string>
#include <string_view>

namespace kestrelin {

// `reference` (blanks around it trimmed, tabs and line breaks in it dropped)
// resolved against the absolute `base`. An absolute reference keeps its own
// scheme; a base without "scheme:" gives an empty result.
std::string ResolveUrl(std::string_view base, std::string_view reference);

// The lower-case scheme of an absolute address ("http"), or empty.
std::string SchemeOf(std::string_view url);

}  // namespace kestrelin
