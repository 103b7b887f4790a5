#pragma once
// Link rewriting for a copy that is read from disk: in a page or a style
// sheet, every address of a file that is in the copy becomes a relative
// path to it, and every other web address becomes absolute. Nothing else
// of the text changes. Used after the rebuild by the offline rewrite of the
// working folder (offline_copy.h) and by the fuzz target; no state.
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrelin {

// Files of the copy: CopyKey of an address -> the file's path in the copy,
// folders separated by "/" ("d/img/a.gif").
using CopyPaths = std::unordered_map<std::string, std::string>;

// The form in which the crawl keeps an address: fragment and query cut, a
// "/" after a bare host, the folder part URL-decoded; then as KeptLinkKey.
std::string CopyKey(std::string_view absoluteUrl);

// A link as the crawl keeps it, with the blanks of its file name written
// "%20", so that "a b.png" read from CSS and "a%20b.png" from a page meet.
std::string KeptLinkKey(std::string_view keptLink);

// The relative address that leads a browser from the file at `from` to the
// file at `to` (both paths in the copy), each name escaped so that it is
// read back as written ("%" -> "%25", "#" -> "%23", blanks -> "%20", ...).
std::string RelativeCopyPath(std::string_view from, std::string_view to);

// `text` (a page, or a style sheet when `styleSheet`) with its references
// rewritten. `baseUrl` is the address it was fetched from, `ownPath` its
// path in the copy. A reference to a copied file becomes the relative path
// plus its fragment (the query is left off: the copy holds one file per
// address without query); an http or https reference to anything else
// becomes its absolute address, and stays as written when it is one
// already; other references (fragments alone, mailto:,
// data:, empty) are left as written.
std::string RewriteLinks(std::string_view text, bool styleSheet, std::string_view baseUrl,
                         std::string_view ownPath, const CopyPaths& copied);

}  // namespace kestrelin
