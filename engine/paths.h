#pragma once
// Joining paths the way the whole program does: with the platform separator,
// then every doubled separator collapsed, so a root folder does not give
// "//" (or "\\").
#include <string>
#include <string_view>

namespace kestrelin {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Replaces every doubled separator by one, in a single left-to-right pass.
std::string CollapseSeparators(std::string_view path);

// left + separator + right, then CollapseSeparators.
std::string JoinPath(std::string_view left, std::string_view right);

bool EndsWithSeparator(std::string_view path);

}  // namespace kestrelin
