#include "platform/curl_internet_cache.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/ca_bundle.h"
#include "platform/cache_entry.h"
#include "platform/request_url.h"
#include "platform/response_headers.h"

namespace kestrelin {
namespace fs = std::filesystem;

namespace {

constexpr const char* kUserAgent = "Kestrelin/" KESTRELIN_VERSION_TEXT;
constexpr std::size_t kWriteBufferBytes = 1 << 16;

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

// One request on the multi handle, from its start to its conclusion.
struct Transfer {
  // Stall watch: seconds of the cache's own waiting (see Impl::waited) at
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
  std::FILE* File = nullptr;
  std::unique_ptr<char[]> Buffer;  // the file's, alive until it is closed
  curl_off_t DroppedBytes = 0;     // of an error answer's body
  bool Conditional = false;
  bool BodyExisted = false;  // a copy from an earlier crawl was there at the start
  Validators Known;  // what the conditions were made of
  // Size queries only.
  bool StoppedAtBody = false;
  // Set when curl reports the end.
  bool Done = false;
  CURLcode Result = CURLE_OK;
  long Status = 0;
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
// StallSeconds of waiting. Only time the cache spends driving its transfers
// counts, so a transfer fetched ahead is not blamed for the time the crawl
// spent elsewhere.
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

struct CurlInternetCache::Impl {
  CurlCacheSettings settings;
  std::function<void()> waitingHook;
  std::string caBundle;  // system authorities plus the extra one; empty: curl's default
  CURLM* multi = nullptr;
  std::vector<CURL*> idleHandles;
  // Seconds spent inside DriveUntilDone, the clock of the stall watch.
  double waited = 0;
  unsigned temporaryCounter = 0;  // names this process's temporary copies
  const std::string processTag = "." + std::to_string(::getpid()) + "-";

  // URLs fetched successfully in this crawl, with their local copies.
  std::unordered_map<std::string, std::string> fetched;
  // Fetching ahead: hinted URLs not started yet, transfers running, and
  // the outcomes of those that ended before they were asked for.
  std::deque<std::string> upcoming;
  std::unordered_map<std::string, std::unique_ptr<Transfer>> running;
  std::unordered_map<std::string, std::string> finishedAhead;
  std::unordered_set<std::string> askedSinceHint;
  // Size queries ahead, the same way: hinted, running, answered.
  std::deque<std::string> upcomingSizes;
  std::unordered_map<std::string, std::unique_ptr<Transfer>> runningSizes;
  std::unordered_map<std::string, SizeAnswer> sizesAhead;
  // Sizes asked in this crawl: a file measured once is fetched right after
  // (and measured from its copy) or left out, asked again on its own.
  std::unordered_set<std::string> sizesAsked;

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
  }

  ~Impl() {
    CancelAhead();
    for (CURL* easy : idleHandles) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_global_cleanup();
  }

  // --- starting a transfer -------------------------------------------------

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
    if (!caBundle.empty()) {
      curl_blob blob{caBundle.data(), caBundle.size(), CURL_BLOB_NOCOPY};
      curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    }
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, TakeHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  }

  // Creates a new file under a temporary name of this process beside the
  // copy, with the permissions the user's files get (the copy becomes a
  // file of the user's site). -1 with errno set when none can be made.
  int OpenTemporary(Transfer& transfer) {
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
    // curl hands over up to 16 KB at a time; a larger buffer writes most
    // files in one or a few calls. (Without a buffer of its own, stdio
    // would size one by the file system's block.)
    transfer.Buffer = std::make_unique_for_overwrite<char[]>(kWriteBufferBytes);
    std::setvbuf(transfer.File, transfer.Buffer.get(), _IOFBF, kWriteBufferBytes);
    transfer.BodyExisted = IsRegularFile(transfer.Entry.Body);
    if (transfer.BodyExisted) {
      auto known = AttachedValidators(transfer.Entry.Body, transfer.Url);
      // A copy with a record of its own never falls back to a sidecar: a
      // sidecar beside it is older than the record, even a stale record.
      if (!known && !HasAttachedRecord(transfer.Entry.Body)) {
        known = ReadSidecar(transfer.Entry.Sidecar, transfer.Url, transfer.Entry.Body);
      }
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
  // file is removed unless `keepTemporary`.
  void Release(Transfer& transfer, bool onMulti, bool keepTemporary = false) {
    if (transfer.Easy) {
      if (onMulti) curl_multi_remove_handle(multi, transfer.Easy);
      ReturnHandle(transfer.Easy);
      transfer.Easy = nullptr;
    }
    curl_slist_free_all(transfer.Conditions);
    transfer.Conditions = nullptr;
    if (transfer.File) {
      std::fclose(transfer.File);
      transfer.File = nullptr;
    }
    if (!keepTemporary && !transfer.TemporaryPath.empty()) {
      RemoveQuietly(transfer.TemporaryPath);
      transfer.TemporaryPath.clear();
    }
  }

  // --- ending a fetch ------------------------------------------------------

  // The path of the complete copy, or empty on any failure; in every case
  // nothing but complete copies and their sidecars remain.
  std::string ConcludeFetch(Transfer& transfer) {
    // The validators go onto the copy itself where the file system can
    // keep them, after its last byte and before it takes its name.
    const bool flushed = std::fflush(transfer.File) == 0;
    const bool attached = flushed && DeliveredWholeBody(transfer) &&
                          !transfer.Response.Version.Empty() &&
                          AttachValidators(::fileno(transfer.File), transfer.Url,
                                           transfer.Response.Version);
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
    if (!written || !DeliveredWholeBody(transfer)) return {};
    // The old validators go first: a stale sidecar must never vouch for
    // the new bytes, even if writing the new one fails. Where the old copy
    // was missing and the new one carries its own record, no sidecar is
    // ever read for it, so none is looked for.
    if (transfer.BodyExisted || !attached) RemoveQuietly(transfer.Entry.Sidecar);
    std::error_code ec;
    fs::rename(transfer.TemporaryPath, transfer.Entry.Body, ec);
    if (ec) return {};
    transfer.TemporaryPath.clear();
    if (!attached && !transfer.Response.Version.Empty()) {
      WriteSidecar(transfer.Entry.Sidecar, transfer.Url, transfer.Response.Version,
                   transfer.Entry.Body);
    }
    return transfer.Entry.Body;
  }

  // --- driving the multi handle --------------------------------------------

  // Reads what curl has finished. Hinted transfers are concluded at once
  // and their outcome kept for when they are asked for.
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
      if (!transfer->Ahead) continue;
      const std::string url = transfer->Url;
      // curl's connect timeout runs on the wall clock, also while the crawl
      // was busy elsewhere; such a failure is not kept, the URL is asked
      // again when it is asked for.
      const bool keep = transfer->Result != CURLE_OPERATION_TIMEDOUT;
      if (transfer->What == Kind::Fetch) {
        std::string outcome = ConcludeFetch(*transfer);
        if (keep) finishedAhead[url] = std::move(outcome);
        Release(*transfer, true);
        running.erase(url);
      } else {
        Release(*transfer, true);
        if (keep) sizesAhead[url] = ConcludeSize(*transfer);
        runningSizes.erase(url);
      }
      StartUpcoming();
    }
  }

  // Runs every transfer until `transfer` has ended, calling the waiting
  // hook at most every kHookIntervalMs.
  void DriveUntilDone(Transfer& transfer) {
    using Clock = std::chrono::steady_clock;
    constexpr int kHookIntervalMs = 50;
    auto mark = Clock::now();
    auto lastHook = mark;
    while (!transfer.Done) {
      const auto now = Clock::now();
      waited += std::chrono::duration<double>(now - mark).count();
      mark = now;
      int active = 0;
      const CURLMcode code = curl_multi_perform(multi, &active);
      CollectFinished();
      if (transfer.Done) break;
      if (code != CURLM_OK) {
        transfer.Result = CURLE_FAILED_INIT;
        transfer.Done = true;
        break;
      }
      curl_multi_poll(multi, nullptr, 0, waitingHook ? kHookIntervalMs : 200, nullptr);
      if (waitingHook && Clock::now() - lastHook >= std::chrono::milliseconds(kHookIntervalMs)) {
        waitingHook();
        lastHook = Clock::now();
      }
    }
  }

  // Starts hinted URLs until MaxFetchesAhead run; skips those already
  // fetched, running or asked for.
  bool RoomAhead() const {
    return static_cast<long>(running.size() + runningSizes.size()) < settings.MaxFetchesAhead;
  }

  // Starts the URLs of `queue` as transfers of `kind` into `into` while
  // there is room, leaving out those `settled` says need no request.
  template <typename Settled>
  void StartFrom(std::deque<std::string>& queue, Kind kind,
                 std::unordered_map<std::string, std::unique_ptr<Transfer>>& into,
                 Settled&& settled) {
    while (RoomAhead() && !queue.empty()) {
      std::string url = std::move(queue.front());
      queue.pop_front();
      if (!IsFetchable(url) || fetched.count(url) || into.count(url) || settled(url)) continue;
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

  void CancelAhead() {
    for (auto& [url, transfer] : running) Release(*transfer, true);
    running.clear();
    upcoming.clear();
    finishedAhead.clear();
    askedSinceHint.clear();
    for (auto& [url, transfer] : runningSizes) Release(*transfer, true);
    runningSizes.clear();
    upcomingSizes.clear();
    sizesAhead.clear();
    sizesAsked.clear();
  }

  // --- the service ----------------------------------------------------------

  std::string Fetch(const std::string& url) {
    if (!IsFetchable(url)) return {};
    if (auto it = fetched.find(url); it != fetched.end()) {
      if (IsRegularFile(it->second)) return it->second;
      fetched.erase(it);
    }
    askedSinceHint.insert(url);
    std::string outcome;
    if (auto done = finishedAhead.find(url); done != finishedAhead.end()) {
      outcome = std::move(done->second);
      finishedAhead.erase(done);
    } else {
      outcome = FetchNow(url);
    }
    if (!outcome.empty()) fetched[url] = outcome;
    return outcome;
  }

  // Fetches `url`, taking over its hinted transfer when one is running.
  std::string FetchNow(const std::string& url) {
    std::unique_ptr<Transfer> transfer;
    if (auto it = running.find(url); it != running.end()) {
      transfer = std::move(it->second);
      running.erase(it);
      transfer->Ahead = false;
    } else {
      transfer = std::make_unique<Transfer>();
      transfer->Url = url;
      if (!Start(*transfer)) return {};
    }
    DriveUntilDone(*transfer);
    std::string outcome = transfer->File ? ConcludeFetch(*transfer) : std::string();
    Release(*transfer, true);
    return outcome;
  }

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

  std::string Answered(const std::string& url, const SizeAnswer& answer) {
    return answer.AskAgainWithGet ? AskSize(url, Kind::SizeByGet) : answer.Length;
  }

  std::string AskSize(const std::string& url, Kind how) {
    Transfer transfer;
    transfer.What = how;
    transfer.Url = url;
    if (!Start(transfer)) return {};
    DriveUntilDone(transfer);
    Release(transfer, true);
    return Answered(url, ConcludeSize(transfer));
  }

  std::string LengthHeader(const std::string& url) {
    if (!IsFetchable(url)) return {};
    sizesAsked.insert(url);
    if (auto it = fetched.find(url); it != fetched.end()) {
      std::error_code ec;
      const auto size = fs::file_size(it->second, ec);
      if (!ec) return std::to_string(size);
    }
    if (auto done = sizesAhead.find(url); done != sizesAhead.end()) {
      const SizeAnswer answer = std::move(done->second);
      sizesAhead.erase(done);
      return Answered(url, answer);
    }
    if (auto it = runningSizes.find(url); it != runningSizes.end()) {
      std::unique_ptr<Transfer> transfer = std::move(it->second);
      runningSizes.erase(it);
      transfer->Ahead = false;
      DriveUntilDone(*transfer);
      Release(*transfer, true);
      return Answered(url, ConcludeSize(*transfer));
    }
    return AskSize(url, Kind::SizeByHead);
  }

  void HintSizes(const std::vector<std::string>& urls) {
    if (settings.MaxFetchesAhead <= 0 || !multi) return;
    upcomingSizes.insert(upcomingSizes.end(), urls.begin(), urls.end());
    StartUpcoming();
    int active = 0;
    curl_multi_perform(multi, &active);
    CollectFinished();
  }

  void Hint(const std::vector<std::string>& urls) {
    if (settings.MaxFetchesAhead <= 0 || !multi) return;
    upcoming.insert(upcoming.end(), urls.begin(), urls.end());
    StartUpcoming();
    int active = 0;
    curl_multi_perform(multi, &active);  // the connections start now
    CollectFinished();
  }
};

CurlInternetCache::CurlInternetCache(CurlCacheSettings settings)
    : impl_(std::make_unique<Impl>(std::move(settings))) {}

CurlInternetCache::~CurlInternetCache() = default;

void CurlInternetCache::BeginCrawl() {
  impl_->CancelAhead();
  impl_->fetched.clear();
}

std::string CurlInternetCache::DownloadToCacheFile(const std::string& url) {
  return impl_->Fetch(url);
}

std::string CurlInternetCache::ContentLengthHeader(const std::string& url) {
  return impl_->LengthHeader(url);
}

void CurlInternetCache::HintUpcoming(const std::vector<std::string>& urls) { impl_->Hint(urls); }

void CurlInternetCache::HintSizeQueries(const std::vector<std::string>& urls) {
  impl_->HintSizes(urls);
}

void CurlInternetCache::CancelUpcoming() { impl_->CancelAhead(); }

void CurlInternetCache::SetWaitingHook(std::function<void()> hook) {
  impl_->waitingHook = std::move(hook);
}

}  // namespace kestrelin
