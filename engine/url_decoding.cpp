#include "engine/url_decoding.h"

namespace kestrelin {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSkippedInEscape(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The byte of the (up to) two characters after a "%": blanks among them are
// skipped, digits read from the left until the first other character; no
// digit at all gives 0.
char EscapedByte(std::string_view digits) {
  int value = 0;
  for (char c : digits) {
    if (IsSkippedInEscape(c)) continue;
    const int digit = HexValue(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return static_cast<char>(value);
}

}  // namespace

std::string DecodeUrlText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t p = 0;
  while (p < text.size()) {
    const char c = text[p];
    if (c == '+') {
      result += ' ';
      ++p;
    } else if (c != '%') {
      result += c;
      ++p;
    } else if (text.substr(p, 3) == "%x%") {
      result += "%x%";
      p += 3;
    } else {
      result += EscapedByte(text.substr(p + 1, 2));
      p += 3;
    }
  }
  return result;
}

void AppendPercentEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char escape[] = {'%', kHex[byte >> 4], kHex[byte & 0x0f]};
  out.append(escape, sizeof escape);
}

}  // namespace kestrelin
