#pragma once
// The text curl is asked to fetch for a URL the engine holds. Bytes that
// cannot stand in a request line (blanks, control bytes, bytes of 128 and
// more, as a decoded folder part of a link can hold) are percent-encoded, as
// browsers do; everything else, existing escapes included, stays as it is.
#include <string>
#include <string_view>

namespace kestrelin {

std::string RequestUrl(std::string_view url);

}  // namespace kestrelin
