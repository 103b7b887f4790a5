#include "engine/relative_link.h"

#include <string_view>

namespace kestrelin {
namespace {

// Every non-overlapping occurrence of `from`, left to right, replaced by `to`.
std::string ReplaceAll(const std::string& text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, start)) {
    result.append(text, start, hit - start);
    result.append(to);
    start = hit + from.size();
  }
  result.append(text, start, std::string::npos);
  return result;
}

void DropTrailingSlash(std::string& text) {
  if (!text.empty() && text.back() == '/') text.pop_back();
}

}  // namespace

std::string ResolveRelativeLink(std::string link, std::string base) {
  // Masking every "//" keeps the scheme separator (and any doubled separator
  // inside the path) from counting as a folder boundary.
  base = ReplaceAll(base, "//", "\\\\");

  std::string_view rest = link;
  while (rest.starts_with("../")) {
    rest.remove_prefix(3);
    DropTrailingSlash(base);
    const std::size_t lastSlash = base.rfind('/');
    // Without a "/" only the host is left: steps above it stop there.
    if (lastSlash != std::string::npos) base.resize(lastSlash + 1);
  }
  DropTrailingSlash(base);
  base = ReplaceAll(base, "\\\\", "//");

  std::string result = std::move(base);
  result += '/';
  result.append(rest);
  return result;
}

}  // namespace kestrelin
