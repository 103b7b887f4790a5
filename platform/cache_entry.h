#pragma once
// Where the internet cache keeps one URL's copy, and the sidecar file that
// remembers how the server identified that copy's version (ETag,
// Last-Modified), so a later crawl, even in another run of the program, can
// ask "changed since?" instead of fetching again. The cache records new
// copies in its index (cache_index.h) and writes a sidecar only where the
// index cannot be written. Used only by the curl internet cache.
// Functions only, no shared state: safe on any thread; the cache calls them
// from its worker and, for a copy it hands out, from the crawl thread.
#include <optional>
#include <string>

namespace kestrelin {

// The server's validators for a copy; either may be empty.
struct Validators {
  std::string ETag;
  std::string LastModified;
  bool Empty() const { return ETag.empty() && LastModified.empty(); }
};

struct CacheEntry {
  std::string Body;     // the copy: folder + "/" + 32 hex digits of the URL's SHA-256
  std::string Sidecar;  // Body + ".meta"
};

// The entry for `url` inside `folder`. The name has a fixed length and only
// the characters 0-9a-f, whatever the URL holds.
CacheEntry EntryFor(const std::string& folder, const std::string& url);

// The size and modification time of a copy, as one text. A copy can share
// its bytes with a file of a copied site (a hard link); when the user edits
// that file, the stamp changes and the copy no longer stands for the
// server's version. Empty when the file cannot be read.
std::string BodyStamp(const std::string& bodyPath);
// The same for the open file `fd`.
std::string DescriptorStamp(int fd);

// The validators recorded for `url` in `sidecarPath`; none when the file is
// missing, unreadable, malformed, written for another URL, holds no stamp,
// or when the copy at `bodyPath` no longer has the stamp recorded with it.
std::optional<Validators> ReadSidecar(const std::string& sidecarPath, const std::string& url,
                                      const std::string& bodyPath);

// Records `validators` for `url` with the stamp of the copy at `bodyPath`,
// replacing the file as a whole (written to a temporary name first).
// Returns false when it could not be written; a URL or value holding a
// line break is never recorded.
bool WriteSidecar(const std::string& sidecarPath, const std::string& url,
                  const Validators& validators, const std::string& bodyPath);

}  // namespace kestrelin
