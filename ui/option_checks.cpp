#include "ui/option_checks.h"

#include <cctype>
#include <cmath>
#include <string>

#include "engine/text_lines.h"

namespace kestrelin {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool IsValidAddress(std::string_view text) {
  std::size_t schemeLength = 0;
  if (StartsWith(text, "http://")) schemeLength = 7;
  else if (StartsWith(text, "https://")) schemeLength = 8;
  else return false;
  return text.find_first_of("/\\", schemeLength) != std::string_view::npos;
}

bool IsNumericText(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  bool digitSeen = false;
  bool pointSeen = false;
  for (const char c : text) {
    if (IsDigit(c)) digitSeen = true;
    else if (c == '.' && !pointSeen) pointSeen = true;
    else return false;
  }
  return digitSeen;
}

std::optional<std::int64_t> ComputeSizeLimit(std::string_view sizeText, int unitIndex) {
  if (!IsNumericText(sizeText)) return std::nullopt;
  const std::string number(TrimBlanks(sizeText));
  const double value = std::strtod(number.c_str(), nullptr);
  double factor = 0;
  if (unitIndex == 0) factor = 1024.0;
  else if (unitIndex == 1) factor = 1048576.0;
  else return 0;
  const double bytes = std::nearbyint(value * factor);  // default mode: halves to even
  if (!std::isfinite(bytes) || std::fabs(bytes) > 9.0e18) return std::nullopt;
  return static_cast<std::int64_t>(bytes);
}

}  // namespace kestrelin
