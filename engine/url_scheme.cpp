#include "engine/url_scheme.h"

namespace kestrelin {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsSchemeChar(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Lower(text[i]) != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::string_view LeadingScheme(std::string_view value) {
  if (value.empty() || !IsLetter(value[0])) return {};
  std::size_t end = 1;
  while (end < value.size() && IsSchemeChar(value[end])) ++end;
  if (end == value.size() || value[end] != ':') return {};
  return value.substr(0, end);
}

bool IsWebScheme(std::string_view scheme) {
  return EqualsIgnoringCase(scheme, "http") || EqualsIgnoringCase(scheme, "https");
}

std::string WithLowerCaseScheme(std::string_view url) {
  std::string result(url);
  const std::size_t length = LeadingScheme(url).size();
  for (std::size_t i = 0; i < length; ++i) result[i] = Lower(result[i]);
  return result;
}

}  // namespace kestrelin
