#pragma once
// ASCII character classes and case folding for the readers of URLs, HTML
// and style sheets, which compare names without regard to ASCII case and
// leave every other byte as it is. Pure functions; any thread.
#include <cstddef>
#include <string_view>

namespace kestrelin {

inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Blanks as HTML and CSS know them: space, tab, LF, CR, form feed.
inline bool IsHtmlBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` equals `lower` (written in lower case) but for ASCII case.
inline bool EqualsIgnoringAsciiCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiLower(text[i]) != lower[i]) return false;
  }
  return true;
}

}  // namespace kestrelin
