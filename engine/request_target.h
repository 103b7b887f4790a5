#pragma once
// The address sent to the server for a link the engine holds. Links keep
// the text that names, progress lines, keys and fail.txt show: their folder
// part is URL-decoded and a page may hold anything. What goes on the wire
// must still be a valid request target, or servers answer 400 and close
// the connection. Pure function, any thread.
#include <string>
#include <string_view>

namespace kestrelin {

// `url` with, after its host, every byte that may not stand in a URL
// (blanks, control bytes, bytes above 127, " < > \ ^ ` { | }) and every "%"
// that does not begin an escape of two hex digits percent-encoded. Unless
// `keepMarks`, a "#" or "?" before the last "/" is encoded as well: in a
// link it can only come from a decoded folder part, where it names a
// folder, not a fragment or a query. Everything else stays as it is.
std::string RequestTarget(std::string_view url, bool keepMarks = false);

}  // namespace kestrelin
