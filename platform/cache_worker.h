#pragma once
// The internet cache's worker: one thread that owns the curl multi handle
// and every transfer and copy file from start to finish. It starts the
// fetches and size queries it is sent, then those it is hinted at (at most
// MaxFetchesAhead at once), names the complete copies, records their
// validators, and leaves each outcome for the crawl thread to take.
//
// Thread rule: the public functions are called by the crawl thread (one at
// a time); everything else runs on the worker thread. They meet only in
// the members marked GUARDED_BY(mutex_).
#include <curl/curl.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/internet_cache.h"
#include "platform/cache_entry.h"
#include "platform/curl_transfer.h"
#include "platform/thread_annotations.h"
#include "platform/validator_store.h"

namespace kestrelin {

struct WorkerSettings {
  std::string CacheFolder;
  TransferSettings Transfers;
  long MaxConnectionsPerHost = 6;
  long MaxFetchesAhead = 12;
  bool NamelessCopies = true;
};

// How a fetch ended: a complete copy under the URL's own name, or not.
struct FetchOutcome {
  bool Copied = false;
  std::string Copy;  // the copy's path, when Copied
  CopyFacts Facts;
};

class CacheWorker {
 public:
  explicit CacheWorker(WorkerSettings settings);
  ~CacheWorker();  // ends every transfer and the thread
  CacheWorker(const CacheWorker&) = delete;
  CacheWorker& operator=(const CacheWorker&) = delete;

  // Asks for `url`'s copy (or its size: HEAD, then a GET for servers that
  // refuse HEAD). A fetch ahead that has already ended is the answer, taken
  // out at once without a round trip through the worker; otherwise the
  // worker starts the transfer (or takes over the hinted one), nullopt is
  // returned and TakeFetch (TakeSize) waits for the outcome.
  std::optional<FetchOutcome> AskFetch(const std::string& url) EXCLUDES(mutex_);
  std::optional<std::string> AskSize(const std::string& url) EXCLUDES(mutex_);
  void PostHints(std::vector<std::string> urls, bool sizes) EXCLUDES(mutex_);
  void PostRules(CacheRules rules) EXCLUDES(mutex_);

  // The outcome of `url`'s fetch (or size query), taken out, once it has
  // ended; waits at most `waitMs` for it.
  std::optional<FetchOutcome> TakeFetch(const std::string& url, int waitMs) EXCLUDES(mutex_);
  std::optional<std::string> TakeSize(const std::string& url, int waitMs) EXCLUDES(mutex_);

  // Drops the hints and the transfers started from them, and their
  // outcomes not taken yet; returns once done. With `everything`, the
  // transfers asked for end too, as failures; copies
  // already complete stay. `newCrawl` also has the index read anew.
  void Cancel(bool everything, bool newCrawl) EXCLUDES(mutex_);

 private:
  enum class Order { Fetch, Size, Hints, SizeHints, Rules, Cancel, CancelAll, NewCrawl, Quit };
  struct Command {
    explicit Command(Order what, std::string url = {}) : What(what), Url(std::move(url)) {}
    Order What;
    std::string Url;
    std::vector<std::string> Urls;
    CacheRules Rules;
  };
  struct Running {
    std::unique_ptr<CurlTransfer> Transfer;
    CacheEntry Entry;    // where a fetch's copy goes
    bool Asked = false;  // asked for, not only hinted
  };
  using Table = std::unordered_map<std::string, Running>;

  void Post(Command command) EXCLUDES(mutex_);
  // Worker thread.
  void Run();
  bool Handle(Command& command);
  void Ask(const std::string& url, TransferKind kind);
  void StartHinted();
  void CountTakenAsAsked() REQUIRES(mutex_);
  bool IsTaken(const std::string& url, bool fetch) const REQUIRES(mutex_);
  bool Start(TransferKind kind, const std::string& url, bool asked);
  void Collect();
  void End(CurlTransfer* transfer, CURLcode result);
  void Deliver(const std::string& url, FetchOutcome outcome, bool asked) EXCLUDES(mutex_);
  void Deliver(const std::string& url, std::string length, bool asked) EXCLUDES(mutex_);
  FetchOutcome Conclude(CurlTransfer& transfer, const CacheEntry& entry);
  void Drop(Table& table, bool everything);
  void Release(CurlTransfer& transfer);
  CURL* TakeHandle();
  bool Idle() const;

  WorkerSettings settings_;
  ValidatorStore validators_;  // worker thread

  Mutex mutex_;
  // Signalled only when the crawl thread waits for it: the outcome of
  // `awaited_` arrived, or (with `cancelAwaited_`) a command was handled.
  // Every other outcome is left without a wake-up, so the crawl thread
  // sleeps until what it waits for is there.
  std::condition_variable_any changed_;
  std::string awaited_ GUARDED_BY(mutex_);
  bool cancelAwaited_ GUARDED_BY(mutex_) = false;
  std::vector<Command> inbox_ GUARDED_BY(mutex_);
  // Set from the worker's last look at an empty inbox until it looks again:
  // it sleeps, or is about to, in curl_multi_poll.
  bool sleeping_ GUARDED_BY(mutex_) = false;
  // Outcomes not taken yet, each marked whether it was asked for.
  template <typename T>
  struct Ended {
    T Outcome;
    bool Asked = false;
  };
  std::unordered_map<std::string, Ended<FetchOutcome>> fetches_ GUARDED_BY(mutex_);
  std::unordered_map<std::string, Ended<std::string>> sizes_ GUARDED_BY(mutex_);
  // URLs whose ended outcome AskFetch / AskSize took without a command,
  // with the number of commands posted before: a hint among those may still
  // name the URL, so the worker counts it as asked once it has handled them
  // (while hints are queued, as with any asked URL). Later hints never name
  // it: the cache does not hint at what it has taken.
  struct Taken {
    std::string Url;
    std::uint64_t PostedBefore = 0;
  };
  std::vector<Taken> takenFetches_ GUARDED_BY(mutex_), takenSizes_ GUARDED_BY(mutex_);
  std::uint64_t posted_ GUARDED_BY(mutex_) = 0;   // commands sent
  std::uint64_t handled_ GUARDED_BY(mutex_) = 0;  // commands done

  // Worker thread only.
  CURLM* multi_ = nullptr;
  std::vector<CURL*> idleHandles_;
  std::deque<std::string> upcoming_, upcomingSizes_;
  // URLs asked for while hints were queued: none of those hints starts
  // them again. The cache never hints at a URL it has asked for, so once
  // the queue is empty the set may be too; a crawl's every URL would
  // otherwise stay in it.
  std::unordered_set<std::string> askedFetches_, askedSizes_;
  Table fetchesRunning_, sizesRunning_;
  std::thread thread_;
};

}  // namespace kestrelin
