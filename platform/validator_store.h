#pragma once
// Where the internet cache keeps each copy's validators (ETag,
// Last-Modified), so that a later crawl, even in another run of the
// program, asks the server "changed since?" instead of fetching again.
// Records go into the cache's index; a sidecar file beside the copy is
// written only where the index cannot be written. Every record carries the
// copy's stamp (size and time), so it never vouches for other bytes.
//
// Used by the cache's worker thread only.
#include <optional>
#include <string>

#include "platform/cache_entry.h"
#include "platform/cache_index.h"

namespace kestrelin {

class CacheCopy;

class ValidatorStore {
 public:
  explicit ValidatorStore(const std::string& folder) : index_(folder) {}

  // The validators for the copy of `url` at `entry`, when one is recorded
  // for that copy as it is now.
  std::optional<Validators> Find(const std::string& url, const CacheEntry& entry);

  // Records `version` for the complete `copy` of `url`, before the copy is
  // published under `entry.Body`; when it replaces an older copy, that
  // copy's sidecar goes first. Returns whether the index took it.
  bool RecordBeforePublish(const std::string& url, const CacheEntry& entry,
                           const CacheCopy& copy, const Validators& version,
                           bool replacing);
  // After publishing: where the index did not take the record, it goes into
  // the sidecar.
  void RecordAfterPublish(const std::string& url, const CacheEntry& entry,
                          const Validators& version, bool indexed);

  // Writes what is held back; a new crawl also reads the index again.
  void Flush() { index_.Flush(); }
  void Reload() { index_.Reload(); }

 private:
  CacheIndex index_;
};

}  // namespace kestrelin
