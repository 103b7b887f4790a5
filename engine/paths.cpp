#include "engine/paths.h"

namespace kestrelin {

std::string CollapseSeparators(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    // Non-overlapping pairs, left to right: "///" becomes "//", as a single
    // replace-all pass does.
    if (path[i] == kPathSeparator && i + 1 < path.size() && path[i + 1] == kPathSeparator) {
      out += kPathSeparator;
      ++i;
    } else {
      out += path[i];
    }
  }
  return out;
}

std::string JoinPath(std::string_view left, std::string_view right) {
  std::string joined;
  joined.reserve(left.size() + right.size() + 1);
  joined.append(left);
  joined += kPathSeparator;
  joined.append(right);
  return CollapseSeparators(joined);
}

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && path.back() == kPathSeparator;
}

}  // namespace kestrelin
