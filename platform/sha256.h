#pragma once
// SHA-256 of a byte text, as 64 lower-case hex digits. The internet cache
// names its copies by it, so that no text from a URL or a server ever
// becomes part of a path.
#include <string>
#include <string_view>

namespace kestrelin {

std::string Sha256Hex(std::string_view bytes);

}  // namespace kestrelin
