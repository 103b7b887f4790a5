#include "platform/curl_internet_cache.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "platform/ca_bundle.h"
#include "platform/cache_entry.h"
#include "platform/cache_index.h"
#include "platform/request_url.h"
#include "platform/response_headers.h"

namespace kestrelin {
namespace fs = std::filesystem;

namespace {

constexpr const char* kUserAgent = "Kestrelin/" KESTRELIN_VERSION_TEXT;
constexpr std::size_t kWriteBufferBytes = 1 << 16;
constexpr long kReceiveBufferBytes = 1 << 18;

// Marks this process's temporary copies: ".PID-".
std::string ProcessTag() {
  std::string tag = ".";
  tag += std::to_string(::getpid());
  tag += '-';
  return tag;
}

// A file opened with O_TMPFILE gets its name through /proc/self/fd.
bool AnonymousFilesCanBeNamed() {
#ifdef O_TMPFILE
  return ::access("/proc/self/fd", X_OK) == 0;
#else
  return false;
#endif
}

// Gives the open file `fd` the name `path`; false when the name is taken or
// the system cannot do it.
bool NameDescriptor(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool IsFetchable(std::string_view url) {
  return url.starts_with("http://") || url.starts_with("https://");
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

void RemoveQuietly(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

enum class Kind {
  Fetch,      // the body goes into the cache
  SizeByHead, // only the headers are asked for
  SizeByGet,  // for servers that refuse HEAD: stops at the first body byte
};

// How a size query ended: the "Content-length" text (empty when none), or
// that the server refused HEAD and a GET must ask again.
struct SizeAnswer {
  std::string Length;
  bool AskAgainWithGet = false;
};

struct Reply;

// One request on the multi handle, from its start to its conclusion.
struct Transfer {
  // Stall watch: seconds the worker has driven transfers (Impl::waited) at
  // the last byte that arrived, and how many had arrived by then.
  const double* Waited = nullptr;
  double StallSeconds = 0;
  bool Watching = false;
  double LastByteAt = 0;
  curl_off_t BytesSeen = 0;
  curl_off_t HeaderBytes = 0;

  Kind What = Kind::Fetch;
  std::string Url;
  bool Ahead = false;  // started from a hint and not asked for yet
  CURL* Easy = nullptr;
  curl_slist* Conditions = nullptr;
  ResponseHeaders Response;
  // Fetches only.
  CacheEntry Entry;
  std::string TemporaryPath;
  bool Anonymous = false;  // written without a name (O_TMPFILE) until it is complete
  std::FILE* File = nullptr;
  std::unique_ptr<char[]> Buffer;  // the file's, alive until it is closed
  curl_off_t DroppedBytes = 0;     // of an error answer's body
  bool Conditional = false;
  bool BodyExisted = false;  // a copy from an earlier crawl was there at the start
  Validators Known;  // what the conditions were made of
  // Size queries only.
  bool StoppedAtBody = false;
  // Set for a transfer the crawl waits for: where its outcome goes.
  Reply* Answer = nullptr;
  // Set when curl reports the end.
  bool Done = false;
  CURLcode Result = CURLE_OK;
  long Status = 0;
};

// The outcome of a fetch or size query the crawl waits for: the worker
// fills it in and sets Done. A fetch that ended is handed over
// unconcluded: the crawl thread concludes its copy.
struct Reply {
  bool Done = false;
  std::string Path;
  SizeAnswer Size;
  std::unique_ptr<Transfer> Unconcluded;
};

// A hinted fetch that ended before it was asked for: its copy's path, or
// the transfer itself while its copy is still to be concluded.
struct FinishedFetch {
  std::string Path;
  std::unique_ptr<Transfer> Unconcluded;
};

// An error answer's body is read and dropped rather than refused, so the
// connection stays open for the next request; one that goes on past
// kMaxDroppedBody ends the transfer.
constexpr curl_off_t kMaxDroppedBody = 1 << 20;

std::size_t WriteToFile(char* data, std::size_t size, std::size_t count, void* target) {
  auto* transfer = static_cast<Transfer*>(target);
  long status = 0;
  curl_easy_getinfo(transfer->Easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status >= 300) {
    transfer->DroppedBytes += static_cast<curl_off_t>(size * count);
    return transfer->DroppedBytes > kMaxDroppedBody ? 0 : size * count;
  }
  return std::fwrite(data, 1, size * count, transfer->File);
}

// A size query needs the headers only: the first body byte ends it.
std::size_t StopAtBody(char*, std::size_t size, std::size_t count, void* target) {
  if (size * count == 0) return 0;
  static_cast<Transfer*>(target)->StoppedAtBody = true;
  return 0;
}

std::size_t TakeHeader(char* data, std::size_t size, std::size_t count, void* target) {
  auto* transfer = static_cast<Transfer*>(target);
  transfer->Response.Take(std::string_view(data, size * count));
  transfer->HeaderBytes += static_cast<curl_off_t>(size * count);
  return size * count;
}

// Ends a transfer when no byte (header or body) has arrived for
// StallSeconds while the worker was driving transfers; the time it sat idle
// with nothing to do does not count.
int WatchForStall(void* target, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* transfer = static_cast<Transfer*>(target);
  const curl_off_t seen = downloaded + uploaded + transfer->HeaderBytes;
  const double now = *transfer->Waited;
  if (!transfer->Watching || seen != transfer->BytesSeen) {
    transfer->Watching = true;
    transfer->BytesSeen = seen;
    transfer->LastByteAt = now;
    return 0;
  }
  return now - transfer->LastByteAt >= transfer->StallSeconds ? 1 : 0;
}

// A complete body was delivered for `transfer`: a 2xx status (a part of a
// body, 206, was never asked for) and a transfer curl saw end normally,
// which rules out short bodies, broken chunks and timeouts.
bool DeliveredWholeBody(const Transfer& transfer) {
  return transfer.Result == CURLE_OK && transfer.Status >= 200 && transfer.Status < 300 &&
         transfer.Status != 206;
}

}  // namespace

// The cache runs its transfers on a worker thread of its own, which owns
// the multi handle, every running transfer and the writing of the copies:
// the crawl reads pages, copies files and reports progress meanwhile, and
// the network and the disk work of the copies fetched ahead go on beside
// it. The crawl thread talks to the worker through `inbox` and finds the
// outcomes in the shared tables below, all under `lock`; the worker never
// holds the lock while it waits on the network or writes a file.
//
// The worker is the busier of the two threads, so a fetch that ended is
// mostly concluded (its copy flushed, recorded and named) by the crawl
// thread: a fetch the crawl waits for comes back unconcluded in its
// Reply; one that ended ahead waits in finishedAhead until the crawl takes
// it or concludes it while waiting for another. The worker concludes one
// itself only when kMaxUnconcluded already wait, and those left at a
// cancel. Each ended transfer is concluded by exactly one thread, the one
// that took it out of the Reply or the shared tables.
struct CurlInternetCache::Impl {
  enum class Order { HintFetches, HintSizes, Fetch, Size, Cancel, Quit };
  struct Command {
    Order What = Order::Quit;
    std::vector<std::string> Urls;  // hints
    std::string Url;                // a fetch or size query
    Kind SizeKind = Kind::SizeByHead;
    Reply* Answer = nullptr;        // where the outcome goes; the caller waits for it
  };
  static Command Make(Order what, std::string url = {}, Kind sizeKind = Kind::SizeByHead) {
    Command command;
    command.What = what;
    command.Url = std::move(url);
    command.SizeKind = sizeKind;
    return command;
  }

  CurlCacheSettings settings;
  std::string caBundle;  // system authorities plus the extra one; empty: curl's default
  const std::string processTag = ProcessTag();
  // Copies are written as files without a name, which a killed process
  // never leaves behind, where the system can name them afterwards.
  const bool anonymousCopies = settings.NamelessCopies && AnonymousFilesCanBeNamed();
  std::function<void()> waitingHook;  // crawl thread only

  // --- shared between the crawl thread and the worker, under `lock` ---
  std::mutex lock;
  std::condition_variable answered;  // a Reply is Done
  std::vector<Command> inbox;
  std::atomic<bool> polling{false};  // the worker is in, or about to enter, curl_multi_poll
  // URLs fetched successfully in this crawl, with their local copies.
  std::unordered_map<std::string, std::string> fetched;
  // What the server said of each URL fetched in this crawl (final address,
  // content type), kept for FactsOf.
  std::unordered_map<std::string, CopyFacts> facts;
  // Outcomes of hinted fetches that ended before they were asked for, and
  // URLs asked for since the last cancel (a hint never fetches them again).
  std::unordered_map<std::string, FinishedFetch> finishedAhead;
  // The URLs of finishedAhead whose copies are still to be concluded. Each
  // holds an open file and a write buffer, so there are at most
  // kMaxUnconcluded; beyond that the worker concludes them itself.
  static constexpr std::size_t kMaxUnconcluded = 16;
  std::vector<std::string> unconcludedAhead;
  std::unordered_set<std::string> askedSinceHint;
  // The same for size queries. A file measured once is fetched right after
  // (and measured from its copy) or left out, asked again on its own.
  std::unordered_map<std::string, SizeAnswer> sizesAhead;
  std::unordered_set<std::string> sizesAsked;
  // Nameless files opened in the cache folder, ready for copies.
  static constexpr std::size_t kSpareFiles = 8;
  std::vector<int> spareFiles;
  std::vector<std::unique_ptr<char[]>> spareBuffers;  // write buffers of closed copies
  // --- used by both threads, each under its own lock or atomic ---
  std::mutex indexLock;
  CacheIndex index{settings.CacheFolder};
  std::atomic<unsigned> temporaryCounter{0};  // names this process's temporary copies

  // --- the worker's own ---
  CURLM* multi = nullptr;
  std::vector<CURL*> idleHandles;
  // Seconds the worker has been driving transfers, the clock of the stall watch.
  double waited = 0;
  std::deque<std::string> upcoming;
  std::deque<std::string> upcomingSizes;
  std::unordered_map<std::string, std::unique_ptr<Transfer>> running;
  std::unordered_map<std::string, std::unique_ptr<Transfer>> runningSizes;
  // Transfers the crawl waits for, by their easy handle's Transfer.
  std::unordered_map<Transfer*, std::unique_ptr<Transfer>> asked;
  std::thread worker;

  explicit Impl(CurlCacheSettings s) : settings(std::move(s)) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    caBundle = CombinedCaBundle(settings.ExtraCaFile);
    multi = curl_multi_init();
    if (multi) {
      curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, settings.MaxConnectionsPerHost);
      // Idle connections stay open between download passes: by default the
      // pool shrinks with the number of transfers running, which is often
      // one or none when a pass ends.
      curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, settings.MaxConnectionsPerHost * 4);
      curl_multi_setopt(multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
    }
    std::error_code ec;
    fs::create_directories(settings.CacheFolder, ec);
    if (multi) worker = std::thread([this] { Run(); });
  }

  ~Impl() {
    if (worker.joinable()) {
      Post(Make(Order::Quit));
      worker.join();
    }
    for (int fd : spareFiles) ::close(fd);
    for (CURL* easy : idleHandles) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_global_cleanup();
  }

  // === the crawl thread's side ==============================================

  void Post(Command command) {
    {
      std::lock_guard guard(lock);
      inbox.push_back(std::move(command));
    }
    // A worker that is not polling finds the order before it polls again.
    if (polling.load()) curl_multi_wakeup(multi);
  }

  // Hands `command` to the worker and waits for its outcome, calling the
  // waiting hook at most every kHookIntervalMs meanwhile.
  Reply Ask(Command command) {
    constexpr auto kHookInterval = std::chrono::milliseconds(50);
    Reply reply;
    command.Answer = &reply;
    // A cancel clears the tables the conclusions go back into, so only
    // while a fetch or size query runs are copies concluded meanwhile.
    const bool concludeMeanwhile = command.What == Order::Fetch || command.What == Order::Size;
    const std::string asked = concludeMeanwhile ? command.Url : std::string();
    Post(std::move(command));
    OpenSpareFiles();
    if (concludeMeanwhile) ConcludeFinishedAhead(asked, reply);
    std::unique_lock guard(lock);
    while (!reply.Done) {
      if (!waitingHook) {
        answered.wait(guard, [&] { return reply.Done; });
      } else if (!answered.wait_for(guard, kHookInterval, [&] { return reply.Done; })) {
        guard.unlock();
        waitingHook();
        guard.lock();
      }
    }
    return reply;
  }

  // While it would wait anyway, the crawl thread opens the nameless files
  // the worker writes its next copies to, so the worker has fewer system
  // calls to make per copy.
  void OpenSpareFiles() {
#ifdef O_TMPFILE
    if (!anonymousCopies) return;
    std::size_t missing = 0;
    {
      std::lock_guard guard(lock);
      if (spareFiles.size() >= kSpareFiles) return;
      missing = kSpareFiles - spareFiles.size();
    }
    std::vector<int> opened;
    for (; missing > 0; --missing) {
      const int fd = OpenNamelessFile();
      if (fd < 0) break;
      opened.push_back(fd);
    }
    std::lock_guard guard(lock);
    spareFiles.insert(spareFiles.end(), opened.begin(), opened.end());
#endif
  }

  // Concludes the copies fetched ahead that wait for it, oldest first,
  // until `reply` is done; that of `asked` is left alone, the worker may be
  // handing it over right now. Their entries stay in finishedAhead
  // meanwhile, so no hint starts them again.
  void ConcludeFinishedAhead(const std::string& asked, const Reply& reply) {
    for (;;) {
      std::string url;
      std::unique_ptr<Transfer> transfer;
      {
        std::lock_guard guard(lock);
        if (reply.Done) return;
        auto next = std::find_if(unconcludedAhead.begin(), unconcludedAhead.end(),
                                 [&](const std::string& waiting) { return waiting != asked; });
        if (next == unconcludedAhead.end()) return;
        url = std::move(*next);
        unconcludedAhead.erase(next);
        auto entry = finishedAhead.find(url);
        if (entry == finishedAhead.end() || !entry->second.Unconcluded) continue;
        transfer = std::move(entry->second.Unconcluded);
      }
      std::string outcome = Conclude(std::move(transfer));
      std::lock_guard guard(lock);
      if (auto entry = finishedAhead.find(url); entry != finishedAhead.end()) {
        entry->second.Path = std::move(outcome);
      }
    }
  }

  // Takes the outcome of `url`'s hinted fetch when it ended; false when it
  // has not. Under `lock`.
  bool TakeFinishedAhead(const std::string& url, std::string& path,
                         std::unique_ptr<Transfer>& unconcluded) {
    auto done = finishedAhead.find(url);
    if (done == finishedAhead.end()) return false;
    path = std::move(done->second.Path);
    unconcluded = std::move(done->second.Unconcluded);
    finishedAhead.erase(done);
    if (unconcluded) std::erase(unconcludedAhead, url);
    return true;
  }

  // The copy fetched earlier in this crawl, when it is still there.
  std::string FetchedCopy(const std::string& url) {
    std::string copy;
    {
      std::lock_guard guard(lock);
      if (auto it = fetched.find(url); it != fetched.end()) copy = it->second;
    }
    if (copy.empty() || IsRegularFile(copy)) return copy;
    std::lock_guard guard(lock);
    fetched.erase(url);
    return {};
  }

  std::string Fetch(const std::string& url) {
    if (!IsFetchable(url) || !multi) return {};
    if (std::string copy = FetchedCopy(url); !copy.empty()) return copy;
    std::string outcome;
    std::unique_ptr<Transfer> unconcluded;
    bool ready = false;
    {
      std::lock_guard guard(lock);
      askedSinceHint.insert(url);
      ready = TakeFinishedAhead(url, outcome, unconcluded);
    }
    if (!ready) {
      Reply reply = Ask(Make(Order::Fetch, url));
      outcome = std::move(reply.Path);
      unconcluded = std::move(reply.Unconcluded);
    }
    if (unconcluded) outcome = Conclude(std::move(unconcluded));
    if (!outcome.empty()) {
      std::lock_guard guard(lock);
      fetched[url] = outcome;
    }
    return outcome;
  }

  std::string Answered(const std::string& url, const SizeAnswer& answer) {
    if (!answer.AskAgainWithGet) return answer.Length;
    return Ask(Make(Order::Size, url, Kind::SizeByGet)).Size.Length;
  }

  std::string LengthHeader(const std::string& url) {
    if (!IsFetchable(url) || !multi) return {};
    std::string copy;
    {
      std::lock_guard guard(lock);
      sizesAsked.insert(url);
      if (auto it = fetched.find(url); it != fetched.end()) copy = it->second;
    }
    if (!copy.empty()) {
      std::error_code ec;
      const auto size = fs::file_size(copy, ec);
      if (!ec) return std::to_string(size);
    }
    std::optional<SizeAnswer> ahead;
    {
      std::lock_guard guard(lock);
      if (auto done = sizesAhead.find(url); done != sizesAhead.end()) {
        ahead = std::move(done->second);
        sizesAhead.erase(done);
      }
    }
    if (!ahead) ahead = Ask(Make(Order::Size, url)).Size;
    return Answered(url, *ahead);
  }

  void Hint(Order order, const std::vector<std::string>& urls) {
    if (settings.MaxFetchesAhead <= 0 || !multi || urls.empty()) return;
    Command command = Make(order);
    command.Urls = urls;
    Post(std::move(command));
  }

  // Returns once nothing hinted runs or waits any more.
  void Cancel() {
    if (multi) Ask(Make(Order::Cancel));
    FlushIndex();
  }

  void Begin() {
    Cancel();
    std::lock_guard guard(lock);
    fetched.clear();
    facts.clear();
  }

  CopyFacts FactsOf(const std::string& url) {
    std::lock_guard guard(lock);
    const auto found = facts.find(url);
    return found == facts.end() ? CopyFacts{} : found->second;
  }

  // Keeps the final address and the content type of an ended fetch.
  void KeepFacts(const Transfer& transfer) {
    if (transfer.What != Kind::Fetch) return;
    CopyFacts kept;
    const char* text = nullptr;
    if (curl_easy_getinfo(transfer.Easy, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text) {
      kept.FinalUrl = text;
    }
    text = nullptr;
    if (curl_easy_getinfo(transfer.Easy, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text) {
      kept.ContentType = text;
    }
    std::lock_guard guard(lock);
    facts[transfer.Url] = std::move(kept);
  }

  // === the worker ===========================================================

  void Run() {
    using Clock = std::chrono::steady_clock;
    auto mark = Clock::now();
    for (;;) {
      std::vector<Command> commands;
      {
        std::lock_guard guard(lock);
        commands.swap(inbox);
      }
      for (Command& command : commands) {
        if (command.What == Order::Quit) {
          CancelAhead();
          return;
        }
        Handle(command);
      }
      StartUpcoming();
      const bool busy = Busy();
      if (busy) {
        const auto now = Clock::now();
        waited += std::chrono::duration<double>(now - mark).count();
        mark = now;
        int active = 0;
        if (curl_multi_perform(multi, &active) != CURLM_OK) FailAsked();
        CollectFinished();
      }
      // New orders wake the poll at once (curl_multi_wakeup); orders that
      // came while the worker was busy are taken without a poll.
      polling.store(true);
      bool ordersWaiting = false;
      {
        std::lock_guard guard(lock);
        ordersWaiting = !inbox.empty();
      }
      // With nothing to fetch, the records held back go to the index, so
      // a crawl that ended (or paused) leaves none behind in memory.
      if (!busy && !ordersWaiting) FlushIndex();
      if (!ordersWaiting) curl_multi_poll(multi, nullptr, 0, busy ? 100 : 1000, nullptr);
      polling.store(false);
      if (!busy) mark = Clock::now();
    }
  }

  bool Busy() const { return !running.empty() || !runningSizes.empty() || !asked.empty(); }

  void Deliver(Reply& reply) {
    {
      std::lock_guard guard(lock);
      reply.Done = true;
    }
    answered.notify_all();
  }

  void DeliverPath(Reply& reply, std::string path) {
    reply.Path = std::move(path);
    Deliver(reply);
  }

  void DeliverSize(Reply& reply, SizeAnswer size) {
    reply.Size = std::move(size);
    Deliver(reply);
  }

  // Starts a transfer the crawl waits for; it answers at once when it
  // cannot start.
  void StartAsked(std::unique_ptr<Transfer> transfer, Reply* reply) {
    transfer->Ahead = false;
    transfer->Answer = reply;
    if (!transfer->Easy && !Start(*transfer)) {
      if (transfer->What == Kind::Fetch) DeliverPath(*reply, {});
      else DeliverSize(*reply, {});
      return;
    }
    Transfer* key = transfer.get();
    asked.emplace(key, std::move(transfer));
  }

  void Handle(Command& command) {
    switch (command.What) {
      case Order::HintFetches:
        upcoming.insert(upcoming.end(), command.Urls.begin(), command.Urls.end());
        break;
      case Order::HintSizes:
        upcomingSizes.insert(upcomingSizes.end(), command.Urls.begin(), command.Urls.end());
        break;
      case Order::Fetch:
        HandleFetch(command.Url, *command.Answer);
        break;
      case Order::Size:
        HandleSize(command.Url, command.SizeKind, *command.Answer);
        break;
      case Order::Cancel:
        CancelAhead();
        Deliver(*command.Answer);
        break;
      case Order::Quit:
        break;
    }
  }

  // The hinted fetch of `url` answers when it ended meanwhile, and is taken
  // over when it still runs.
  void HandleFetch(const std::string& url, Reply& reply) {
    {
      std::unique_lock guard(lock);
      std::string outcome;
      std::unique_ptr<Transfer> unconcluded;
      if (TakeFinishedAhead(url, outcome, unconcluded)) {
        guard.unlock();
        reply.Unconcluded = std::move(unconcluded);
        DeliverPath(reply, std::move(outcome));
        return;
      }
    }
    std::unique_ptr<Transfer> transfer;
    if (auto it = running.find(url); it != running.end()) {
      transfer = std::move(it->second);
      running.erase(it);
    } else {
      transfer = std::make_unique<Transfer>();
      transfer->Url = url;
    }
    StartAsked(std::move(transfer), &reply);
  }

  void HandleSize(const std::string& url, Kind kind, Reply& reply) {
    std::unique_ptr<Transfer> transfer;
    if (kind == Kind::SizeByHead) {
      std::unique_lock guard(lock);
      if (auto done = sizesAhead.find(url); done != sizesAhead.end()) {
        SizeAnswer answer = std::move(done->second);
        sizesAhead.erase(done);
        guard.unlock();
        DeliverSize(reply, std::move(answer));
        return;
      }
      guard.unlock();
      if (auto it = runningSizes.find(url); it != runningSizes.end()) {
        transfer = std::move(it->second);
        runningSizes.erase(it);
      }
    }
    if (!transfer) {
      transfer = std::make_unique<Transfer>();
      transfer->What = kind;
      transfer->Url = url;
    }
    StartAsked(std::move(transfer), &reply);
  }

  // The multi handle failed: every transfer the crawl waits for ends.
  void FailAsked() {
    for (auto& [key, transfer] : asked) {
      transfer->Result = CURLE_FAILED_INIT;
      Release(*transfer, true);
      if (transfer->What == Kind::Fetch) DeliverPath(*transfer->Answer, {});
      else DeliverSize(*transfer->Answer, {});
    }
    asked.clear();
  }

  // --- starting a transfer -------------------------------------------------

  // Write buffers go back to a pool rather than to the heap: freeing a
  // block this large makes the allocator tidy its free lists each time.
  std::unique_ptr<char[]> TakeWriteBuffer() {
    {
      std::lock_guard guard(lock);
      if (!spareBuffers.empty()) {
        std::unique_ptr<char[]> buffer = std::move(spareBuffers.back());
        spareBuffers.pop_back();
        return buffer;
      }
    }
    return std::make_unique_for_overwrite<char[]>(kWriteBufferBytes);
  }

  CURL* TakeHandle() {
    if (idleHandles.empty()) return curl_easy_init();
    CURL* easy = idleHandles.back();
    idleHandles.pop_back();
    return easy;
  }

  void ReturnHandle(CURL* easy) {
    curl_easy_reset(easy);
    idleHandles.push_back(easy);
  }
  // The options every request shares.
  void SetCommonOptions(CURL* easy, Transfer& transfer) {
    const std::string requestUrl = RequestUrl(transfer.Url);
    curl_easy_setopt(easy, CURLOPT_URL, requestUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, settings.ConnectTimeoutSeconds);
    transfer.Waited = &waited;
    transfer.StallSeconds = static_cast<double>(settings.StallTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, WatchForStall);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
    // A larger receive buffer takes most bodies in one read from the socket.
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    if (!caBundle.empty()) {
      curl_blob blob{caBundle.data(), caBundle.size(), CURL_BLOB_NOCOPY};
      curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    }
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, TakeHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  }

  // Creates the file a copy is written to, with the permissions the user's
  // files get (the copy becomes a file of the user's site): one without a
  // name in the cache folder where the system allows it, else one under a
  // temporary name of this process beside the copy. -1 with errno set when
  // none can be made.
  int OpenTemporary(Transfer& transfer) {
#ifdef O_TMPFILE
    if (anonymousCopies) {
      if (const int spare = TakeSpareFile(); spare >= 0) {
        transfer.Anonymous = true;
        return spare;
      }
      const int fd = OpenNamelessFile();
      if (fd >= 0) {
        transfer.Anonymous = true;
        return fd;
      }
      if (errno == ENOENT) return -1;  // no cache folder
      // Otherwise the file system has no such files: a named one instead.
    }
#endif
    const std::string stem = transfer.Entry.Body + processTag;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = stem + std::to_string(++temporaryCounter) + ".part";
      const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        transfer.TemporaryPath = std::move(name);
        return fd;
      }
      if (errno != EEXIST) return -1;
    }
    return -1;
  }

#ifdef O_TMPFILE
  // A file without a name in the cache folder, with the permissions the
  // user's files get; -1 with errno set when none can be made.
  int OpenNamelessFile() const {
    return ::open(settings.CacheFolder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  }
#endif

  // Names the nameless copy `fd` `path`. A file opened before the cache
  // folder was removed still has its bytes; the folder is made again.
  bool NameCopy(int fd, const std::string& path) {
    if (NameDescriptor(fd, path)) return true;
    if (errno != ENOENT) return false;
    std::error_code ec;
    fs::create_directories(settings.CacheFolder, ec);
    return NameDescriptor(fd, path);
  }

  int TakeSpareFile() {
    std::lock_guard guard(lock);
    if (spareFiles.empty()) return -1;
    const int fd = spareFiles.back();
    spareFiles.pop_back();
    return fd;
  }

  // Names an anonymous copy with a temporary name of this process, which
  // CloseCopy removes unless a rename takes it first.
  void NameTemporary(int fd, Transfer& transfer) {
    const std::string stem = transfer.Entry.Body + processTag;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = stem + std::to_string(++temporaryCounter) + ".part";
      if (NameCopy(fd, name)) {
        transfer.TemporaryPath = std::move(name);
        return;
      }
      if (errno != EEXIST) return;
    }
  }

  // The validators recorded for the copy an earlier crawl left. The index
  // holds every record written since copies were indexed. Older copies
  // carry their record as an attribute or, older still, in a sidecar, which
  // a copy with an attribute never falls back to; a sidecar is also where a
  // record goes when the index cannot be written. Once the index holds the
  // URL, a record on or beside the copy counts only when it carries the
  // copy's stamp: one without a stamp vouches for any bytes, and may be
  // older than the index's own.
  std::optional<Validators> FindValidators(const Transfer& transfer) {
    const CacheEntry& entry = transfer.Entry;
    bool indexed = false;
    {
      std::lock_guard guard(indexLock);
      indexed = index.Holds(transfer.Url);
      if (indexed) {
        if (auto recorded = index.Find(transfer.Url, entry.Body)) return recorded;
      }
    }
    std::optional<Validators> known = AttachedValidators(entry.Body, transfer.Url);
    if (!known && !HasAttachedRecord(entry.Body)) {
      known = ReadSidecar(entry.Sidecar, transfer.Url, entry.Body);
    }
    if (known && indexed && !known->Stamped) return std::nullopt;
    return known;
  }

  // Opens the temporary file and asks "changed since?" when an earlier
  // crawl left a copy with validators. False when no file can be written.
  bool PrepareFetch(Transfer& transfer) {
    transfer.Entry = EntryFor(settings.CacheFolder, transfer.Url);
    int fd = OpenTemporary(transfer);
    if (fd < 0 && errno == ENOENT) {  // the cache folder was removed meanwhile
      std::error_code ec;
      fs::create_directories(settings.CacheFolder, ec);
      fd = OpenTemporary(transfer);
    }
    if (fd < 0) return false;
    transfer.File = ::fdopen(fd, "wb");
    if (!transfer.File) {
      ::close(fd);
      RemoveQuietly(transfer.TemporaryPath);
      return false;
    }
    // curl hands over what one read from the socket gave; a buffer of
    // its own writes most files in one or a few calls. (Without a buffer of its own, stdio
    // would size one by the file system's block.)
    transfer.Buffer = TakeWriteBuffer();
    std::setvbuf(transfer.File, transfer.Buffer.get(), _IOFBF, kWriteBufferBytes);
    transfer.BodyExisted = IsRegularFile(transfer.Entry.Body);
    if (transfer.BodyExisted) {
      std::optional<Validators> known = FindValidators(transfer);
      if (known) {
        transfer.Known = *known;
        if (!known->ETag.empty()) {
          transfer.Conditions =
              curl_slist_append(transfer.Conditions, ("If-None-Match: " + known->ETag).c_str());
        }
        if (!known->LastModified.empty()) {
          transfer.Conditions = curl_slist_append(
              transfer.Conditions, ("If-Modified-Since: " + known->LastModified).c_str());
        }
        transfer.Conditional = transfer.Conditions != nullptr;
      }
    }
    return true;
  }

  void SetKindOptions(CURL* easy, Transfer& transfer) {
    switch (transfer.What) {
      case Kind::Fetch:
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToFile);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.Conditions);
        break;
      case Kind::SizeByHead:
      case Kind::SizeByGet:
        // No Accept-Encoding: the size of the file itself is asked for, not
        // of a compressed form of it.
        if (transfer.What == Kind::SizeByHead) curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, StopAtBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
        break;
    }
  }

  // Puts `transfer` on the multi handle. False when it could not start; it
  // then holds nothing and has no file.
  bool Start(Transfer& transfer) {
    if (!multi) return false;
    if (transfer.What == Kind::Fetch && !PrepareFetch(transfer)) return false;
    CURL* easy = TakeHandle();
    if (!easy) {
      Release(transfer, false);
      return false;
    }
    transfer.Easy = easy;
    SetCommonOptions(easy, transfer);
    SetKindOptions(easy, transfer);
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
      Release(transfer, false);
      return false;
    }
    return true;
  }

  // Gives back the handle, the header list and the file; the temporary
  // file is removed.
  void Release(Transfer& transfer, bool onMulti) {
    Detach(transfer, onMulti);
    CloseCopy(transfer);
  }

  // Gives back what curl used: the handle and the header list. The worker's.
  void Detach(Transfer& transfer, bool onMulti) {
    if (transfer.Easy) {
      if (onMulti) curl_multi_remove_handle(multi, transfer.Easy);
      ReturnHandle(transfer.Easy);
      transfer.Easy = nullptr;
    }
    curl_slist_free_all(transfer.Conditions);
    transfer.Conditions = nullptr;
  }

  // Closes the copy's file and removes its temporary name; either thread.
  void CloseCopy(Transfer& transfer) {
    if (transfer.File) {
      std::fclose(transfer.File);
      transfer.File = nullptr;
    }
    if (transfer.Buffer) {
      std::lock_guard guard(lock);
      spareBuffers.push_back(std::move(transfer.Buffer));
    }
    if (!transfer.TemporaryPath.empty()) {
      RemoveQuietly(transfer.TemporaryPath);
      transfer.TemporaryPath.clear();
    }
  }

  // Concludes a detached fetch and closes its copy: the copy's path, or
  // empty on any failure.
  std::string Conclude(std::unique_ptr<Transfer> transfer) {
    std::string outcome = transfer->File ? ConcludeFetch(*transfer) : std::string();
    CloseCopy(*transfer);
    return outcome;
  }

  // --- ending a fetch ------------------------------------------------------

  // The path of the complete copy, or empty on any failure; in every case
  // nothing but complete copies and their sidecars remain.
  std::string ConcludeFetch(Transfer& transfer) {
    // The validators go into the index after the copy's last byte and
    // before it takes its name.
    const bool flushed = std::fflush(transfer.File) == 0;
    const bool recorded = flushed && DeliveredWholeBody(transfer) &&
                          !transfer.Response.Version.Empty() &&
                          Record(::fileno(transfer.File), transfer.Url, transfer.Response.Version);
    const bool complete = flushed && DeliveredWholeBody(transfer);
    // A copy without a name is named while it is open: under its own name
    // where that is free (a first download), else under a temporary one
    // that the rename below puts in place.
    bool inPlace = false;
    if (transfer.Anonymous && complete) {
      if (transfer.BodyExisted || !recorded) RemoveQuietly(transfer.Entry.Sidecar);
      const int fd = ::fileno(transfer.File);
      inPlace = !transfer.BodyExisted && NameCopy(fd, transfer.Entry.Body);
      if (!inPlace) NameTemporary(fd, transfer);
    }
    const bool written = std::fclose(transfer.File) == 0 && flushed;
    transfer.File = nullptr;
    if (transfer.Result == CURLE_OK && transfer.Status == 304 && transfer.Conditional &&
        IsRegularFile(transfer.Entry.Body)) {
      // Unchanged since the earlier crawl. A record an older version wrote
      // gets the copy's stamp now, before the copy shares its bytes.
      if (!transfer.Known.Stamped) {
        WriteSidecar(transfer.Entry.Sidecar, transfer.Url, transfer.Known, transfer.Entry.Body);
      }
      return transfer.Entry.Body;
    }
    if (!written || !complete) {
      if (inPlace) RemoveQuietly(transfer.Entry.Body);
      return {};
    }
    if (!inPlace) {
      // The old validators go first: a stale sidecar must never vouch for
      // the new bytes, even if writing the new one fails. Where the old
      // copy was missing and the new one carries its own record, no sidecar
      // is ever read for it, so none is looked for.
      if (!transfer.Anonymous && (transfer.BodyExisted || !recorded)) {
        RemoveQuietly(transfer.Entry.Sidecar);
      }
      if (transfer.TemporaryPath.empty()) return {};
      std::error_code ec;
      fs::rename(transfer.TemporaryPath, transfer.Entry.Body, ec);
      if (ec) return {};
      transfer.TemporaryPath.clear();
    }
    if (!recorded && !transfer.Response.Version.Empty()) {
      WriteSidecar(transfer.Entry.Sidecar, transfer.Url, transfer.Response.Version,
                   transfer.Entry.Body);
    }
    return transfer.Entry.Body;
  }

  bool Record(int fd, const std::string& url, const Validators& version) {
    std::lock_guard guard(indexLock);
    return index.Record(fd, url, version);
  }

  void FlushIndex() {
    std::lock_guard guard(indexLock);
    index.Flush();
  }

  // --- concluding transfers -------------------------------------------------

  static SizeAnswer ConcludeSize(const Transfer& transfer) {
    const bool answered = transfer.Result == CURLE_OK ||
                          (transfer.StoppedAtBody && transfer.Result == CURLE_WRITE_ERROR);
    // Servers that refuse HEAD, or fail it, get a GET that stops at the body.
    if (transfer.What == Kind::SizeByHead &&
        (!answered || transfer.Status == 405 || transfer.Status == 501)) {
      return {{}, true};
    }
    if (!answered || transfer.Status >= 400) return {};
    return {transfer.Response.ContentLength, false};
  }

  // Hinted transfers keep their outcome for when they are asked for.
  void ConcludeAhead(Transfer& transfer) {
    const std::string url = transfer.Url;
    // curl's connect timeout runs on the wall clock, which a hinted
    // transfer may have spent waiting for a connection; such a failure is
    // not kept, the URL is asked again when it is asked for.
    const bool keep = transfer.Result != CURLE_OPERATION_TIMEDOUT;
    if (transfer.What == Kind::Fetch) {
      auto owned = running.find(url);
      if (owned == running.end()) return;  // every hinted fetch is in `running`
      std::unique_ptr<Transfer> ended = std::move(owned->second);
      running.erase(owned);
      Detach(*ended, true);
      if (!keep) {
        CloseCopy(*ended);
        return;
      }
      {
        std::lock_guard guard(lock);
        if (unconcludedAhead.size() < kMaxUnconcluded) {
          unconcludedAhead.push_back(url);
          finishedAhead[url] = FinishedFetch{{}, std::move(ended)};
          return;
        }
      }
      std::string outcome = Conclude(std::move(ended));
      std::lock_guard guard(lock);
      finishedAhead[url] = FinishedFetch{std::move(outcome), nullptr};
    } else {
      Release(transfer, true);
      if (keep) {
        std::lock_guard guard(lock);
        sizesAhead[url] = ConcludeSize(transfer);
      }
      runningSizes.erase(url);
    }
  }

  void ConcludeAsked(Transfer* key) {
    auto it = asked.find(key);
    if (it == asked.end()) return;
    std::unique_ptr<Transfer> transfer = std::move(it->second);
    asked.erase(it);
    if (transfer->What == Kind::Fetch) {
      Detach(*transfer, true);
      Reply& reply = *transfer->Answer;
      reply.Unconcluded = std::move(transfer);
      Deliver(reply);
    } else {
      Release(*transfer, true);
      DeliverSize(*transfer->Answer, ConcludeSize(*transfer));
    }
  }

  // Reads what curl has finished: size queries are concluded, fetches
  // handed over to be concluded.
  void CollectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      Transfer* transfer = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
      if (!transfer) continue;
      transfer->Result = message->data.result;
      curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &transfer->Status);
      transfer->Done = true;
      KeepFacts(*transfer);
      if (transfer->Ahead) ConcludeAhead(*transfer);
      else ConcludeAsked(transfer);
      StartUpcoming();
    }
  }

  // --- fetching ahead -------------------------------------------------------

  bool RoomAhead() const {
    return static_cast<long>(running.size() + runningSizes.size()) < settings.MaxFetchesAhead;
  }

  // Starts the URLs of `queue` as transfers of `kind` into `into` while
  // there is room, leaving out those `settled` (asked under the lock) says
  // need no request.
  template <typename Settled>
  void StartFrom(std::deque<std::string>& queue, Kind kind,
                 std::unordered_map<std::string, std::unique_ptr<Transfer>>& into,
                 Settled&& settled) {
    while (RoomAhead() && !queue.empty()) {
      std::string url = std::move(queue.front());
      queue.pop_front();
      if (!IsFetchable(url) || into.count(url)) continue;
      {
        std::lock_guard guard(lock);
        if (fetched.count(url) || settled(url)) continue;
      }
      auto transfer = std::make_unique<Transfer>();
      transfer->What = kind;
      transfer->Url = url;
      transfer->Ahead = true;
      if (Start(*transfer)) into.emplace(std::move(url), std::move(transfer));
    }
  }

  // Size queries go first: the page they belong to is being read now.
  void StartUpcoming() {
    StartFrom(upcomingSizes, Kind::SizeByHead, runningSizes, [&](const std::string& url) {
      return sizesAhead.count(url) || sizesAsked.count(url);
    });
    StartFrom(upcoming, Kind::Fetch, running, [&](const std::string& url) {
      return finishedAhead.count(url) || askedSinceHint.count(url);
    });
  }

  // Copies that ended but are not concluded yet still are: they stay in
  // the cache folder.
  void CancelAhead() {
    for (auto& [url, transfer] : running) Release(*transfer, true);
    running.clear();
    upcoming.clear();
    for (auto& [url, transfer] : runningSizes) Release(*transfer, true);
    runningSizes.clear();
    upcomingSizes.clear();
    std::vector<std::unique_ptr<Transfer>> unconcluded;
    {
      std::lock_guard guard(lock);
      for (auto& [url, finished] : finishedAhead) {
        if (finished.Unconcluded) unconcluded.push_back(std::move(finished.Unconcluded));
      }
      finishedAhead.clear();
      unconcludedAhead.clear();
      askedSinceHint.clear();
      sizesAhead.clear();
      sizesAsked.clear();
    }
    for (auto& transfer : unconcluded) Conclude(std::move(transfer));
  }
};

CurlInternetCache::CurlInternetCache(CurlCacheSettings settings)
    : impl_(std::make_unique<Impl>(std::move(settings))) {}

CurlInternetCache::~CurlInternetCache() = default;

void CurlInternetCache::BeginCrawl() { impl_->Begin(); }

std::string CurlInternetCache::DownloadToCacheFile(const std::string& url) {
  return impl_->Fetch(url);
}

CopyFacts CurlInternetCache::FactsOf(const std::string& url) { return impl_->FactsOf(url); }

std::string CurlInternetCache::ContentLengthHeader(const std::string& url) {
  return impl_->LengthHeader(url);
}

void CurlInternetCache::HintUpcoming(const std::vector<std::string>& urls) {
  impl_->Hint(Impl::Order::HintFetches, urls);
}

void CurlInternetCache::HintSizeQueries(const std::vector<std::string>& urls) {
  impl_->Hint(Impl::Order::HintSizes, urls);
}

void CurlInternetCache::CancelUpcoming() { impl_->Cancel(); }

void CurlInternetCache::SetWaitingHook(std::function<void()> hook) {
  impl_->waitingHook = std::move(hook);
}

}  // namespace kestrelin
