// The worker thread's side of the cache's worker (cache_worker.h); the
// crawl thread's side is cache_worker_posts.cpp.
#include "platform/cache_worker.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace kestrelin {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

CacheWorker::CacheWorker(WorkerSettings settings)
    : settings_(std::move(settings)), validators_(settings_.CacheFolder) {
  multi_ = curl_multi_init();
  if (!multi_) return;
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, settings_.MaxConnectionsPerHost);
  // Idle connections stay open between download passes: by default the
  // pool shrinks with the number of transfers running, which is often one
  // or none when a pass ends.
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, settings_.MaxConnectionsPerHost * 4);
  curl_multi_setopt(multi_, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
  std::error_code ec;
  std::filesystem::create_directories(settings_.CacheFolder, ec);
  thread_ = std::thread([this] { Run(); });
}

CacheWorker::~CacheWorker() {
  if (thread_.joinable()) {
    Post(Command{Order::Quit});
    thread_.join();
  }
  for (CURL* easy : idleHandles_) curl_easy_cleanup(easy);
  if (multi_) curl_multi_cleanup(multi_);
}

// === the worker =============================================================

void CacheWorker::Run() {
  for (;;) {
    std::vector<Command> commands;
    {
      MutexLock guard(mutex_);
      commands.swap(inbox_);
      sleeping_ = false;
    }
    for (Command& command : commands) {
      const bool goOn = Handle(command);
      bool wake = false;
      {
        MutexLock guard(mutex_);
        ++handled_;
        wake = cancelAwaited_;
      }
      if (wake) changed_.notify_all();
      if (!goOn) return;
    }
    StartHinted();
    const bool idle = Idle();
    if (!idle) {
      int active = 0;
      curl_multi_perform(multi_, &active);
      Collect();
    } else {
      // With nothing to fetch, the records held back go to the index, so
      // a crawl that ended (or paused) leaves none behind in memory.
      validators_.Flush();
    }
    {
      MutexLock guard(mutex_);
      if (!inbox_.empty()) continue;
      sleeping_ = true;
    }
    curl_multi_poll(multi_, nullptr, 0, idle ? 1000 : 100, nullptr);
  }
}

bool CacheWorker::Idle() const { return fetchesRunning_.empty() && sizesRunning_.empty(); }

// False for the order to quit.
bool CacheWorker::Handle(Command& command) {
  switch (command.What) {
    case Order::Fetch: Ask(command.Url, TransferKind::Fetch); break;
    case Order::Size: Ask(command.Url, TransferKind::SizeByHead); break;
    case Order::Hints:
      upcoming_.insert(upcoming_.end(), command.Urls.begin(), command.Urls.end());
      break;
    case Order::SizeHints:
      upcomingSizes_.insert(upcomingSizes_.end(), command.Urls.begin(), command.Urls.end());
      break;
    case Order::Rules:
      settings_.Transfers.Rules = std::make_shared<const CacheRules>(std::move(command.Rules));
      break;
    case Order::Cancel:
    case Order::CancelAll:
    case Order::NewCrawl:
    case Order::Quit: {
      const bool everything = command.What != Order::Cancel;
      // Between crawls no outcome is waited for; within one, those the
      // crawl waits for stay (failures, when `everything` ended them).
      const bool forgetAll = command.What == Order::NewCrawl || command.What == Order::Quit;
      upcoming_.clear();
      upcomingSizes_.clear();
      askedFetches_.clear();
      askedSizes_.clear();
      Drop(fetchesRunning_, everything);
      Drop(sizesRunning_, everything);
      {
        MutexLock guard(mutex_);
        std::erase_if(fetches_, [&](const auto& ended) { return forgetAll || !ended.second.Asked; });
        std::erase_if(sizes_, [&](const auto& ended) { return forgetAll || !ended.second.Asked; });
      }
      validators_.Flush();
      if (command.What == Order::NewCrawl) validators_.Reload();
      return command.What != Order::Quit;
    }
  }
  return true;
}

// A transfer the crawl waits for: the hinted one of the same URL is taken
// over, one that ended meanwhile is already the answer.
void CacheWorker::Ask(const std::string& url, TransferKind kind) {
  const bool fetch = kind == TransferKind::Fetch;
  // Only a hint still queued could start it again (see askedFetches_).
  if (!(fetch ? upcoming_ : upcomingSizes_).empty()) {
    (fetch ? askedFetches_ : askedSizes_).insert(url);
  }
  bool ended = false;
  bool wake = false;
  {
    MutexLock guard(mutex_);
    if (fetch) {
      if (auto found = fetches_.find(url); found != fetches_.end()) {
        found->second.Asked = ended = true;
      }
    } else if (auto found = sizes_.find(url); found != sizes_.end()) {
      found->second.Asked = ended = true;
    }
    wake = ended && awaited_ == url;
  }
  if (wake) changed_.notify_all();
  if (ended) return;
  Table& running = fetch ? fetchesRunning_ : sizesRunning_;
  if (auto found = running.find(url); found != running.end()) {
    found->second.Asked = true;
    return;
  }
  if (Start(kind, url, true)) return;
  if (fetch) Deliver(url, FetchOutcome{}, true);
  else Deliver(url, std::string(), true);
}

// Size queries go first: the page they belong to is being read now.
void CacheWorker::StartHinted() {
  const auto room = [&] {
    return static_cast<long>(fetchesRunning_.size() + sizesRunning_.size()) <
           settings_.MaxFetchesAhead;
  };
  for (auto* queue : {&upcomingSizes_, &upcoming_}) {
    const bool fetch = queue == &upcoming_;
    Table& running = fetch ? fetchesRunning_ : sizesRunning_;
    while (room() && !queue->empty()) {
      std::string url = std::move(queue->front());
      queue->pop_front();
      if (running.count(url)) continue;
      {
        // Under one lock: the crawl thread moves an outcome from the table
        // to the taken list in one step.
        MutexLock guard(mutex_);
        CountTakenAsAsked();
        if ((fetch ? askedFetches_ : askedSizes_).count(url) || IsTaken(url, fetch)) continue;
        if (fetch ? fetches_.count(url) != 0 : sizes_.count(url) != 0) continue;
      }
      Start(fetch ? TransferKind::Fetch : TransferKind::SizeByHead, url, false);
    }
    std::unordered_set<std::string>& asked = fetch ? askedFetches_ : askedSizes_;
    if (queue->empty() && !asked.empty()) asked = {};
  }
  MutexLock guard(mutex_);
  CountTakenAsAsked();
}

// Every hint posted before a take has reached the queue once the commands
// posted before it are handled: from then on the taken URL is an asked one,
// until the queue runs empty.
void CacheWorker::CountTakenAsAsked() {
  const std::uint64_t handled = handled_;
  for (auto* taken : {&takenFetches_, &takenSizes_}) {
    auto& asked = taken == &takenFetches_ ? askedFetches_ : askedSizes_;
    std::erase_if(*taken, [&](const Taken& one) {
      if (one.PostedBefore > handled) return false;
      asked.insert(one.Url);
      return true;
    });
  }
}

bool CacheWorker::IsTaken(const std::string& url, bool fetch) const {
  const auto& taken = fetch ? takenFetches_ : takenSizes_;
  return std::any_of(taken.begin(), taken.end(), [&](const auto& one) { return one.Url == url; });
}

// Puts a transfer on the multi handle; false (and nothing held) when it
// cannot start.
bool CacheWorker::Start(TransferKind kind, const std::string& url, bool asked) {
  if (!url.starts_with("http://") && !url.starts_with("https://")) return false;
  std::unique_ptr<CacheCopy> copy;
  std::optional<Validators> known;
  CacheEntry entry;
  if (kind == TransferKind::Fetch) {
    entry = EntryFor(settings_.CacheFolder, url);
    copy = CacheCopy::Open(settings_.CacheFolder, entry.Body, settings_.NamelessCopies);
    if (!copy) return false;
    if (IsRegularFile(entry.Body)) known = validators_.Find(url, entry);
  }
  CURL* easy = TakeHandle();
  if (!easy) return false;
  auto transfer = std::make_unique<CurlTransfer>(kind, url);
  transfer->Setup(easy, settings_.Transfers, std::move(copy), known);
  if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
    Release(*transfer);
    return false;
  }
  Table& running = kind == TransferKind::Fetch ? fetchesRunning_ : sizesRunning_;
  running[url] = Running{std::move(transfer), std::move(entry), asked};
  return true;
}

void CacheWorker::Collect() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    CurlTransfer* transfer = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
    if (transfer) End(transfer, message->data.result);
  }
}

void CacheWorker::End(CurlTransfer* ended, CURLcode result) {
  const bool fetch = ended->Kind() == TransferKind::Fetch;
  Table& table = fetch ? fetchesRunning_ : sizesRunning_;
  auto found = table.find(ended->Url());
  if (found == table.end()) return;
  Running running = std::move(found->second);
  table.erase(found);
  CurlTransfer& transfer = *running.Transfer;
  transfer.End(result);
  Release(transfer);
  // curl's connect timeout runs on the wall clock, which a hinted transfer
  // may have spent waiting for a connection: such a failure is not kept,
  // the URL is asked again when it is asked for.
  if (!running.Asked && result == CURLE_OPERATION_TIMEDOUT) return;
  if (fetch) {
    Deliver(transfer.Url(), Conclude(transfer, running.Entry), running.Asked);
    return;
  }
  bool askAgainWithGet = false;
  std::string length = transfer.SizeAnswer(askAgainWithGet);
  if (askAgainWithGet && Start(TransferKind::SizeByGet, transfer.Url(), running.Asked)) return;
  Deliver(transfer.Url(), std::move(length), running.Asked);
}

// Names a complete copy and records its validators; a 304 keeps the copy
// an earlier crawl left.
FetchOutcome CacheWorker::Conclude(CurlTransfer& transfer, const CacheEntry& entry) {
  FetchOutcome outcome{false, {}, transfer.Facts()};
  const std::string& url = transfer.Url();
  const ResponseHeaders& response = transfer.Response();
  if (transfer.Result() == CURLE_OK && response.Status == 304 && transfer.Conditional()) {
    outcome.Copied = IsRegularFile(entry.Body);
    if (outcome.Copied) outcome.Copy = entry.Body;
    return outcome;
  }
  CacheCopy* copy = transfer.Copy();
  if (!transfer.DeliveredWholeBody() || !copy) return outcome;
  // The record goes into the index before the copy takes its name.
  const bool indexed = validators_.RecordBeforePublish(url, entry, *copy, response.Version,
                                                       transfer.Conditional());
  if (!copy->Publish()) return outcome;
  validators_.RecordAfterPublish(url, entry, response.Version, indexed);
  outcome.Copied = true;
  outcome.Copy = entry.Body;
  return outcome;
}

void CacheWorker::Deliver(const std::string& url, FetchOutcome outcome, bool asked) {
  bool wake = false;
  {
    MutexLock guard(mutex_);
    fetches_[url] = {std::move(outcome), asked};
    wake = awaited_ == url;
  }
  if (wake) changed_.notify_all();
}

void CacheWorker::Deliver(const std::string& url, std::string length, bool asked) {
  bool wake = false;
  {
    MutexLock guard(mutex_);
    sizes_[url] = {std::move(length), asked};
    wake = awaited_ == url;
  }
  if (wake) changed_.notify_all();
}

// Ends the hinted transfers of `table` (`everything`: all of them); those
// the crawl waits for end as failures. Their copies leave nothing behind.
void CacheWorker::Drop(Table& table, bool everything) {
  for (auto it = table.begin(); it != table.end();) {
    Running& running = it->second;
    if (!everything && running.Asked) {
      ++it;
      continue;
    }
    Release(*running.Transfer);
    if (running.Asked && running.Transfer->Kind() == TransferKind::Fetch) {
      Deliver(it->first, FetchOutcome{}, true);
    } else if (running.Asked) {
      Deliver(it->first, std::string(), true);
    }
    it = table.erase(it);
  }
}

CURL* CacheWorker::TakeHandle() {
  if (idleHandles_.empty()) return curl_easy_init();
  CURL* easy = idleHandles_.back();
  idleHandles_.pop_back();
  return easy;
}

void CacheWorker::Release(CurlTransfer& transfer) {
  CURL* easy = transfer.Easy();
  if (!easy) return;
  curl_multi_remove_handle(multi_, easy);
  curl_easy_reset(easy);
  idleHandles_.push_back(easy);
}

}  // namespace kestrelin
