#include "engine/text_lines.h"

namespace kestrelin {
namespace {

std::vector<std::string> SplitLines(std::string_view text, bool lfEndsLine) {
  std::vector<std::string> lines;
  ForEachLine(text, lfEndsLine, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

}  // namespace

std::vector<std::string> SplitLinesCr(std::string_view text) { return SplitLines(text, false); }

std::vector<std::string> SplitLinesAnyEnding(std::string_view text) {
  return SplitLines(text, true);
}

std::string_view TrimSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  if (from.empty()) return std::string(text);
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    const auto hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

}  // namespace kestrelin
