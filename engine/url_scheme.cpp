#include "engine/url_scheme.h"

#include "engine/ascii_text.h"

namespace kestrelin {
namespace {

bool IsSchemeChar(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

std::string_view LeadingScheme(std::string_view value) {
  if (value.empty() || !IsAsciiLetter(value[0])) return {};
  std::size_t end = 1;
  while (end < value.size() && IsSchemeChar(value[end])) ++end;
  if (end == value.size() || value[end] != ':') return {};
  return value.substr(0, end);
}

bool IsWebScheme(std::string_view scheme) {
  return EqualsIgnoringAsciiCase(scheme, "http") || EqualsIgnoringAsciiCase(scheme, "https");
}

std::string WithLowerCaseScheme(std::string_view url) {
  std::string result(url);
  const std::size_t length = LeadingScheme(url).size();
  for (std::size_t i = 0; i < length; ++i) result[i] = AsciiLower(result[i]);
  return result;
}

}  // namespace kestrelin
