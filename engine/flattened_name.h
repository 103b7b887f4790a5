#pragma once
// Where a download is kept in the working folder until the rebuild: its path
// below its site root with the folder marker "%x%" in place of every "/" and
// "\", so the rebuild can turn the name back into folders.
#include <string>
#include <string_view>

namespace kestrelin {

// The link's path below its own site root; for a link that does not begin
// with `SiteRoot` (the start address's site root) "external/" + the part
// after its last "/"; "index.html" when that leaves nothing.
std::string RelativeName(std::string_view link, std::string_view SiteRoot);

// RelativeName as one safe working-folder name (see WorkingFileName in
// safe_names.h): "d/img/a.gif" gives "d%x%img%x%a.gif", a folder link keeps
// a final "%x%".
std::string FlattenedName(std::string_view link, std::string_view SiteRoot);

}  // namespace kestrelin
