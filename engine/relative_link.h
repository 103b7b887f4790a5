#pragma once
#include <string>

namespace kestrelin {

// Joins a link that begins with "../" to the folder URL `base`: one folder
// level of the base is dropped per leading "../" (never past the host).
std::string ResolveRelativeLink(std::string link, std::string base);

}  // namespace kestrelin
