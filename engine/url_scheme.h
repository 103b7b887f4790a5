#pragma once
// What a link value written in a page says about its scheme. Link
// extraction uses it to tell absolute web addresses ("http:", "https:", in
// any case, and "//host/..." on the page's scheme) from relative names that
// merely begin with the letters "http", and to drop values of any other
// scheme ("file:", "ftp:", "data:", "tel:"...). Pure functions, any thread.
#include <string>
#include <string_view>

namespace kestrelin {

// The scheme `value` begins with: letters, then letters, digits, "+", "-"
// or ".", ended by ":". Empty when the value does not begin with one.
std::string_view LeadingScheme(std::string_view value);

// True for "http" and "https" in any letter case.
bool IsWebScheme(std::string_view scheme);

// `url` with its leading scheme in lower case ("HTTP://a/B" -> "http://a/B").
std::string WithLowerCaseScheme(std::string_view url);

}  // namespace kestrelin
