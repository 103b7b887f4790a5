#pragma once
// Names that come from a server (URL path segments, decoded file names) made
// safe as one component of a path below the working folder or the
// destination folder. Whatever a server sends, a safe name never climbs out
// of the folder it is joined to, never holds a separator or a NUL byte and
// never exceeds what the file system allows for one name.
//
// The mapping, applied by the download pass to each segment of a link's path
// and by the rebuild to each folder and file name it creates:
//   ".."            becomes "%2e%2e"
//   "."             becomes "%2e"
//   "/"             becomes "%2f"   (also when decoding produced it)
//   "\"             becomes "%5c"
//   a NUL byte      becomes "%00"
//   over 255 bytes  cut, with "~" and 16 hex digits of a hash of the whole
//                   name placed before the extension (kept when short)
// Every other name passes unchanged, and an empty name stays empty (the
// callers give an empty part its meaning).
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrelin {

// The longest name (in bytes) a file or folder may have.
constexpr std::size_t kMaxNameBytes = 255;

// `name` mapped as above, at most kMaxNameBytes long.
std::string SafeName(std::string_view name);

// `name` unchanged when it has at most `limit` bytes; otherwise its start,
// "~", 16 hex digits of a hash of `hashSource` and its extension, `limit`
// bytes in all. `limit` must leave room for the suffix (at least 40).
std::string ShortenName(std::string_view name, std::size_t limit, std::string_view hashSource);

// `segment` with every "%" that is followed by "x" written "%25": a text
// from a URL then neither holds the folder marker "%x%" nor, ending with
// "%x", makes one with the marker after it.
std::string EscapeMarkerLookalikes(std::string_view segment);

// The name a download gets in the working folder for the path `relativeName`
// (below its site root, or "external/" + last segment): its segments mapped
// with SafeName and EscapeMarkerLookalikes and joined by the folder marker
// "%x%". Empty segments are
// dropped except a final one, so a folder link still ends with the marker.
// A name that would exceed kMaxNameBytes keeps as many leading folders as fit
// and a shortened, hash-marked file name, so the file is never lost.
std::string WorkingFileName(std::string_view relativeName);

}  // namespace kestrelin
