#include "engine/request_target.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/url_decoding.h"

namespace kestrelin {
namespace {

constexpr std::string_view kNotInUrl = "\"<>\\^`{|}";

// Bytes encoded wherever they stand: blanks, control bytes, bytes above 127
// and those of kNotInUrl. A table, since every address sent passes here.
constexpr std::array<bool, 256> kAlwaysEncoded = [] {
  std::array<bool, 256> table{};
  for (int byte = 0; byte < 256; ++byte) table[byte] = byte <= 0x20 || byte >= 0x7f;
  for (const char c : kNotInUrl) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool MustEncode(std::string_view url, std::size_t at, std::size_t lastSlash, bool keepMarks) {
  const char c = url[at];
  if (kAlwaysEncoded[static_cast<unsigned char>(c)]) return true;
  if (c == '%') {
    return at + 2 >= url.size() || !IsHexDigit(url[at + 1]) || !IsHexDigit(url[at + 2]);
  }
  return !keepMarks && (c == '#' || c == '?') && at < lastSlash;
}

}  // namespace

std::string RequestTarget(std::string_view url, bool keepMarks) {
  const std::size_t separator = url.find("://");
  const std::size_t hostStart = separator == std::string_view::npos ? 0 : separator + 3;
  const std::size_t pathStart = std::min(url.find('/', hostStart), url.size());
  const std::size_t lastSlash = url.rfind('/');
  std::string out(url.substr(0, pathStart));
  out.reserve(url.size() + 16);
  std::size_t copied = pathStart;  // url before this is in `out`
  for (std::size_t at = pathStart; at < url.size(); ++at) {
    if (!MustEncode(url, at, lastSlash, keepMarks)) continue;
    out.append(url.substr(copied, at - copied));
    AppendPercentEscape(out, static_cast<unsigned char>(url[at]));
    copied = at + 1;
  }
  out.append(url.substr(copied));
  return out;
}

}  // namespace kestrelin
