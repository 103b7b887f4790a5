// The crawl thread's side of the cache's worker (cache_worker.h): posting
// orders and taking outcomes. Everything here runs on the crawl thread and
// meets the worker only under its mutex.
#include <chrono>

#include "platform/cache_worker.h"

namespace kestrelin {
namespace {

// Takes `url`'s entry out of `table` once the worker has marked it asked
// for (so it never starts that URL again for this ask), waiting at most
// `waitMs` for it. While the crawl thread sleeps, `awaited` names `url`, so
// the worker wakes it for that outcome only.
template <typename Map, typename Lock>
auto TakeFrom(Map& table, const std::string& url, int waitMs, std::condition_variable_any& changed,
              Lock& lock, std::string& awaited)
    -> std::optional<decltype(table.begin()->second.Outcome)> {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    auto found = table.find(url);
    if (found != table.end() && found->second.Asked) {
      auto outcome = std::move(found->second.Outcome);
      table.erase(found);
      awaited.clear();
      return outcome;
    }
    awaited = url;
    if (changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      found = table.find(url);
      if (found == table.end() || !found->second.Asked) {
        awaited.clear();
        return std::nullopt;
      }
    }
  }
}

// Takes `url`'s ended outcome out of `table`, noting it in `taken` with
// the number of commands `posted` so far.
template <typename Map, typename TakenList>
auto TakeEnded(Map& table, const std::string& url, TakenList& taken, std::uint64_t posted)
    -> std::optional<decltype(table.begin()->second.Outcome)> {
  auto found = table.find(url);
  if (found == table.end()) return std::nullopt;
  auto outcome = std::move(found->second.Outcome);
  table.erase(found);
  taken.push_back({url, posted});
  return outcome;
}

}  // namespace

void CacheWorker::Post(Command command) {
  bool sleeping = false;
  {
    MutexLock guard(mutex_);
    inbox_.push_back(std::move(command));
    ++posted_;
    sleeping = sleeping_;
  }
  // A worker that is not asleep in curl_multi_poll finds the order before
  // it goes there; waking it costs both threads a system call or two.
  if (sleeping && multi_) curl_multi_wakeup(multi_);
}

void CacheWorker::PostRules(CacheRules rules) {
  Command command{Order::Rules};
  command.Rules = std::move(rules);
  Post(std::move(command));
}

void CacheWorker::PostHints(std::vector<std::string> urls, bool sizes) {
  if (settings_.MaxFetchesAhead <= 0 || urls.empty()) return;
  Command command{sizes ? Order::SizeHints : Order::Hints};
  command.Urls = std::move(urls);
  Post(std::move(command));
}

std::optional<FetchOutcome> CacheWorker::AskFetch(const std::string& url) {
  if (!multi_) return FetchOutcome{};
  {
    MutexLock guard(mutex_);
    if (auto outcome = TakeEnded(fetches_, url, takenFetches_, posted_)) return outcome;
  }
  Post(Command{Order::Fetch, url});
  return std::nullopt;
}

std::optional<std::string> CacheWorker::AskSize(const std::string& url) {
  if (!multi_) return std::string();
  {
    MutexLock guard(mutex_);
    if (auto length = TakeEnded(sizes_, url, takenSizes_, posted_)) return length;
  }
  Post(Command{Order::Size, url});
  return std::nullopt;
}

std::optional<FetchOutcome> CacheWorker::TakeFetch(const std::string& url, int waitMs) {
  if (!multi_) return FetchOutcome{};
  MutexLock guard(mutex_);
  return TakeFrom(fetches_, url, waitMs, changed_, mutex_, awaited_);
}

std::optional<std::string> CacheWorker::TakeSize(const std::string& url, int waitMs) {
  if (!multi_) return std::string();
  MutexLock guard(mutex_);
  return TakeFrom(sizes_, url, waitMs, changed_, mutex_, awaited_);
}

void CacheWorker::Cancel(bool everything, bool newCrawl) {
  if (!multi_) return;
  std::uint64_t mine = 0;
  {
    MutexLock guard(mutex_);
    mine = posted_ + 1;
  }
  Post(Command{newCrawl ? Order::NewCrawl : everything ? Order::CancelAll : Order::Cancel});
  MutexLock guard(mutex_);
  cancelAwaited_ = true;
  while (handled_ < mine) changed_.wait(mutex_);
  cancelAwaited_ = false;
}

}  // namespace kestrelin
