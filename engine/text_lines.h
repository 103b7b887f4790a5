#pragma once
// Splitting text files into lines and the small text helpers the engine
// shares. The program's own text files end a line at CR or CR LF (a lone LF
// does not end a line); robots.txt also accepts LF alone.
#include <string>
#include <string_view>
#include <vector>

namespace kestrelin {

// Calls `visit` with each line of `text` (without its end), in order, as a
// view into `text`: no line is copied. A line ends at CR, at CR LF, and at a
// lone LF when `lfEndsLine`. A final line without an end is visited; a text
// that ends with a line end has no extra empty line after it.
// Pages go through here whole, so a CR is looked for with `find`.
template <typename Visit>
void ForEachLine(std::string_view text, bool lfEndsLine, Visit&& visit) {
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!lfEndsLine) {
      i = text.find('\r', i);
      if (i == std::string_view::npos) break;
    }
    const char c = text[i];
    if (c == '\r' || (lfEndsLine && c == '\n')) {
      visit(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) visit(text.substr(start));
}

// Lines ended by CR or CR LF. A final line without an end is kept; a file
// that ends with a line end has no extra empty line after it.
std::vector<std::string> SplitLinesCr(std::string_view text);

// Lines ended by CR, CR LF or LF.
std::vector<std::string> SplitLinesAnyEnding(std::string_view text);

// Leading and trailing blanks (spaces only) removed.
std::string_view TrimSpaces(std::string_view text);

// Every occurrence of `from` replaced by `to`, left to right, in one pass.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

// Lines joined with CR LF after each one, as the program writes text files.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace kestrelin
