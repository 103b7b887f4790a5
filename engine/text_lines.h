#pragma once
// Splitting text files into lines and the small text helpers the engine
// shares. The program's own text files end a line at CR or CR LF (a lone LF
// does not end a line); robots.txt also accepts LF alone.
#include <string>
#include <string_view>
#include <vector>

namespace kestrelin {

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
