#pragma once
// Where a download is kept in the working folder until the rebuild: its path
// below its site root with the folder marker "%x%" in place of every "/" and
// "\", so the rebuild can turn the name back into folders.
#include <string>
#include <string_view>

namespace kestrelin {

// The link's path below its own site root; for a link that does not begin
// with `SiteRoot` (the start address's site root) "external/" + the part
// after its last "/"; "index.html" when that leaves nothing. A folder
// address (ending with "/") names that folder's "index.html".
std::string RelativeName(std::string_view link, std::string_view SiteRoot);

// The address a download is named after: `link` + "/" when the server
// redirected `link` to exactly that (`finalUrl`, the address after
// redirects), so a folder link written without its "/" lands as the
// folder's index.html; `link` otherwise.
std::string NamedAddress(const std::string& link, const std::string& finalUrl);

// RelativeName as one safe working-folder name (see WorkingFileName in
// safe_names.h): "d/img/a.gif" gives "d%x%img%x%a.gif".
std::string FlattenedName(std::string_view link, std::string_view SiteRoot);

}  // namespace kestrelin
