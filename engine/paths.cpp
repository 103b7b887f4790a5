#include "engine/paths.h"

namespace kestrelin {

namespace {

constexpr char kDoubled[] = {kPathSeparator, kPathSeparator, '\0'};

// Appends `text` to `out` with doubled separators collapsed, in
// non-overlapping pairs from left to right ("///" becomes "//", as a single
// replace-all pass does). `open` is true while the last separator written
// may still pair with the next one; it carries across calls.
void AppendCollapsed(std::string& out, std::string_view text, bool& open) {
  for (const char c : text) {
    if (c == kPathSeparator && open) {
      open = false;  // the second of a pair
      continue;
    }
    open = c == kPathSeparator;
    out += c;
  }
}

}  // namespace

// Most paths hold no doubled separator: they are copied as they are.
std::string CollapseSeparators(std::string_view path) {
  if (path.find(kDoubled) == std::string_view::npos) return std::string(path);
  std::string out;
  out.reserve(path.size());
  bool open = false;
  AppendCollapsed(out, path, open);
  return out;
}

std::string JoinPath(std::string_view left, std::string_view right) {
  std::string joined;
  joined.reserve(left.size() + right.size() + 1);
  const bool plain = left.find(kDoubled) == std::string_view::npos &&
                     right.find(kDoubled) == std::string_view::npos &&
                     !EndsWithSeparator(left) && !(!right.empty() && right[0] == kPathSeparator);
  if (plain) {
    joined.append(left);
    joined += kPathSeparator;
    joined.append(right);
    return joined;
  }
  bool open = false;
  AppendCollapsed(joined, left, open);
  AppendCollapsed(joined, std::string_view(&kPathSeparator, 1), open);
  AppendCollapsed(joined, right, open);
  return joined;
}

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && path.back() == kPathSeparator;
}

}  // namespace kestrelin
