#include "platform/curl_internet_cache.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include "platform/ca_bundle.h"
#include "platform/cache_entry.h"
#include "platform/cache_worker.h"

namespace kestrelin {
namespace {

// A wait long enough for any transfer: its own timeouts end it first.
constexpr int kWaitWholly = 60 * 60 * 1000;

bool IsFetchable(const std::string& url) {
  return url.starts_with("http://") || url.starts_with("https://");
}

// curl's global state lives as long as some cache does.
struct CurlGlobal {
  CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
  ~CurlGlobal() { curl_global_cleanup(); }
};

}  // namespace

CurlInternetCache::CurlInternetCache(CurlCacheSettings settings) : settings_(std::move(settings)) {
  static CurlGlobal global;
  WorkerSettings worker;
  worker.CacheFolder = settings_.CacheFolder;
  worker.Transfers.CaBundle = CombinedCaBundle(settings_.ExtraCaFile);
  worker.Transfers.ConnectTimeoutSeconds = settings_.ConnectTimeoutSeconds;
  worker.Transfers.StallSeconds = settings_.StallTimeoutSeconds;
  worker.MaxConnectionsPerHost = settings_.MaxConnectionsPerHost;
  worker.MaxFetchesAhead = settings_.MaxFetchesAhead;
  worker.NamelessCopies = settings_.NamelessCopies;
  worker_ = std::make_unique<CacheWorker>(std::move(worker));
}

CurlInternetCache::~CurlInternetCache() = default;

void CurlInternetCache::BeginCrawl() {
  worker_->Cancel(true, true);
  Forget();
}

void CurlInternetCache::EndCrawl() {
  worker_->Cancel(true, false);
  Forget();
}

// Emptied, not only cleared: a crawl's tables give their room back.
void CurlInternetCache::Forget() {
  decltype(known_)().swap(known_);
  contentTypes_.assign(1, std::string());
  contentTypeNumbers_ = {{std::string(), 0}};
  fetchAsked_.clear();
  sizeAsked_.clear();
  fetchReadyUrl_.clear();
  sizeReadyUrl_.clear();
  fetchReady_.reset();
  copyAtHandUrl_.clear();
}

std::string CurlInternetCache::CopyPath(const std::string& url) const {
  return EntryFor(settings_.CacheFolder, url).Body;
}

std::string CurlInternetCache::FetchedCopy(const std::string& url) const {
  const auto found = known_.find(url);
  if (found == known_.end() || !found->second.Copied) return {};
  std::string path = CopyPath(url);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return path;
}

bool CurlInternetCache::AwaitCopy(const std::string& url, int waitMs) {
  copyAtHandUrl_.clear();
  if (!IsFetchable(url) || fetchReadyUrl_ == url) return true;
  if (std::string copy = FetchedCopy(url); !copy.empty()) {
    copyAtHandUrl_ = url;
    copyAtHand_ = std::move(copy);
    return true;
  }
  std::optional<FetchOutcome> outcome;
  if (fetchAsked_ != url) {
    fetchAsked_ = url;
    outcome = worker_->AskFetch(url);
  }
  if (!outcome) outcome = worker_->TakeFetch(url, waitMs);
  if (!outcome) return false;
  fetchAsked_.clear();
  fetchReadyUrl_ = url;
  fetchReady_ = std::make_unique<FetchOutcome>(std::move(*outcome));
  return true;
}

std::string CurlInternetCache::DownloadToCacheFile(const std::string& url) {
  if (copyAtHandUrl_ == url) {
    copyAtHandUrl_.clear();
    return std::move(copyAtHand_);
  }
  copyAtHandUrl_.clear();
  if (std::string copy = FetchedCopy(url); !copy.empty()) return copy;
  while (!AwaitCopy(url, kWaitWholly)) {
  }
  if (!IsFetchable(url) || fetchReadyUrl_ != url) return {};
  fetchReadyUrl_.clear();
  Known& known = known_[url];
  known.Fetched = true;
  known.Copied = fetchReady_->Copied;
  Remember(known, url, std::move(fetchReady_->Facts));
  std::string copy = std::move(fetchReady_->Copy);
  fetchReady_.reset();
  return copy;
}

void CurlInternetCache::Remember(Known& known, const std::string& url, CopyFacts facts) {
  known.ContentType = ContentTypeNumber(facts.ContentType);
  known.TooLarge = facts.TooLarge;
  if (facts.FinalUrl == url) facts.FinalUrl.clear();
  if (facts.FinalUrl.empty() && facts.RefusedRedirect.empty()) {
    known.Redirect.reset();
  } else {
    known.Redirect = std::make_unique<Redirects>(
        Redirects{std::move(facts.FinalUrl), std::move(facts.RefusedRedirect)});
  }
}

std::uint32_t CurlInternetCache::ContentTypeNumber(const std::string& type) {
  const auto [found, added] =
      contentTypeNumbers_.try_emplace(type, static_cast<std::uint32_t>(contentTypes_.size()));
  if (added) contentTypes_.push_back(type);
  return found->second;
}

bool CurlInternetCache::AwaitSize(const std::string& url, int waitMs) {
  if (!IsFetchable(url) || sizeReadyUrl_ == url || !FetchedCopy(url).empty()) return true;
  std::optional<std::string> length;
  if (sizeAsked_ != url) {
    sizeAsked_ = url;
    length = worker_->AskSize(url);
  }
  if (!length) length = worker_->TakeSize(url, waitMs);
  if (!length) return false;
  sizeAsked_.clear();
  sizeReadyUrl_ = url;
  sizeReady_ = std::move(*length);
  return true;
}

std::string CurlInternetCache::ContentLengthHeader(const std::string& url) {
  if (!IsFetchable(url)) return {};
  known_[url].SizeAsked = true;
  if (std::string copy = FetchedCopy(url); !copy.empty()) {
    struct stat info {};
    if (::stat(copy.c_str(), &info) == 0) return std::to_string(info.st_size);
  }
  while (!AwaitSize(url, kWaitWholly)) {
  }
  if (sizeReadyUrl_ != url) return {};
  sizeReadyUrl_.clear();
  return std::move(sizeReady_);
}

CopyFacts CurlInternetCache::FactsOf(const std::string& url) {
  const auto found = known_.find(url);
  if (found == known_.end() || !found->second.Fetched) return {};
  const Known& known = found->second;
  CopyFacts facts;
  facts.ContentType = contentTypes_[known.ContentType];
  facts.TooLarge = known.TooLarge;
  if (known.Redirect) {
    facts.FinalUrl = known.Redirect->FinalUrl;
    facts.RefusedRedirect = known.Redirect->Refused;
  }
  if (facts.FinalUrl.empty()) facts.FinalUrl = url;
  return facts;
}

void CurlInternetCache::SetRules(CacheRules rules) { worker_->PostRules(std::move(rules)); }

// URLs this crawl already asked for are not fetched again ahead: a copy is
// at hand, or a failure is asked again only when the crawl asks again. The
// worker counts on it: it forgets what it was asked once no hint waits.
void CurlInternetCache::HintUpcoming(const std::vector<std::string>& urls) {
  std::vector<std::string> fresh;
  for (const std::string& url : urls) {
    const auto found = known_.find(url);
    if (IsFetchable(url) && url != fetchAsked_ && url != fetchReadyUrl_ &&
        (found == known_.end() || !found->second.Fetched)) {
      fresh.push_back(url);
    }
  }
  worker_->PostHints(std::move(fresh), false);
}

void CurlInternetCache::HintSizeQueries(const std::vector<std::string>& urls) {
  std::vector<std::string> fresh;
  for (const std::string& url : urls) {
    const auto found = known_.find(url);
    if (IsFetchable(url) && url != sizeAsked_ && url != sizeReadyUrl_ &&
        (found == known_.end() || (!found->second.SizeAsked && !found->second.Copied))) {
      fresh.push_back(url);
    }
  }
  worker_->PostHints(std::move(fresh), true);
}

void CurlInternetCache::CancelUpcoming() { worker_->Cancel(false, false); }

void CurlInternetCache::StopTransfers() { worker_->Cancel(true, false); }

}  // namespace kestrelin
