#pragma once
#include <string>
#include <string_view>

namespace kestrelin {

// "+" becomes a blank, "%" and two hex digits the byte of that value; the
// folder marker "%x%" passes through unchanged. One pass, no failure.
std::string DecodeUrlText(std::string_view text);

// Appends `byte` as "%" and two upper-case hex digits.
void AppendPercentEscape(std::string& out, unsigned char byte);

}  // namespace kestrelin
