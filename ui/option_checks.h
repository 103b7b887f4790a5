#pragma once
// The input checks of the main window's address and size fields and the
// size limit the Download command computes from them. Plain text rules, no
// widgets, so the window and the tests share them.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrelin {

// True when the text begins with exactly "http://" or "https://" (case
// matters) and a "/" or "\" follows somewhere after the scheme.
bool IsValidAddress(std::string_view text);

// True when the text is an optionally signed integer or decimal number with
// blanks allowed around it ("12", " -1.5 ", ".5", "3."). Empty is not.
bool IsNumericText(std::string_view text);

// The size limit in bytes for the size text and the unit position (0 "kb",
// 1 "Mb"): the number times 1024 or 1048576, rounded to the nearest integer
// with halves to even. Another unit position gives 0. nullopt when the text
// is not a number or the product does not fit in 63 bits.
std::optional<std::int64_t> ComputeSizeLimit(std::string_view sizeText, int unitIndex);

}  // namespace kestrelin
