#include "platform/validator_store.h"

#include <cstdio>

#include "platform/cache_copy.h"

namespace kestrelin {

// Both carry the copy's stamp, so whichever matches the copy counts: a
// sidecar is newer than an index line that no longer matches.
std::optional<Validators> ValidatorStore::Find(const std::string& url, const CacheEntry& entry) {
  if (auto recorded = index_.Find(url, entry.Body)) return recorded;
  return ReadSidecar(entry.Sidecar, url, entry.Body);
}

bool ValidatorStore::RecordBeforePublish(const std::string& url, const CacheEntry& entry,
                                         const CacheCopy& copy, const Validators& version,
                                         bool replacing) {
  if (replacing) std::remove(entry.Sidecar.c_str());
  return !version.Empty() && index_.Record(copy.Descriptor(), url, version);
}

void ValidatorStore::RecordAfterPublish(const std::string& url, const CacheEntry& entry,
                                        const Validators& version, bool indexed) {
  if (!indexed && !version.Empty()) WriteSidecar(entry.Sidecar, url, version, entry.Body);
}

}  // namespace kestrelin
