#include "platform/curl_internet_cache.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <unordered_map>

namespace kestrelin {
namespace fs = std::filesystem;

namespace {

constexpr const char* kUserAgent = "Kestrelin/" KESTRELIN_VERSION_TEXT;

bool IsFetchable(std::string_view url) {
  return url.starts_with("http://") || url.starts_with("https://");
}

// Bytes that cannot stand in a request line are sent percent-encoded, as
// browsers do; the URL text the engine keeps is not changed.
std::string RequestUrl(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0f];
    } else {
      out += c;
    }
  }
  return out;
}

// A fixed-length name from the URL, so no server text ever becomes a path.
std::string CacheName(std::string_view url) {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (const char c : url) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char name[40];
  std::snprintf(name, sizeof name, "%016llx-%zu", static_cast<unsigned long long>(hash),
                url.size());
  return name;
}

std::size_t WriteToFile(char* data, std::size_t size, std::size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// Keeps the last "Content-Length" header seen (the final response's, after
// redirects).
std::size_t ReadHeader(char* data, std::size_t size, std::size_t count, void* target) {
  const std::size_t length = size * count;
  std::string_view line(data, length);
  if (line.starts_with("HTTP/")) static_cast<std::string*>(target)->clear();
  constexpr std::string_view kName = "content-length:";
  if (line.size() >= kName.size()) {
    bool matches = true;
    for (std::size_t i = 0; i < kName.size() && matches; ++i) {
      matches = std::tolower(static_cast<unsigned char>(line[i])) == kName[i];
    }
    if (matches) {
      std::string_view value = line.substr(kName.size());
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' ')) {
        value.remove_suffix(1);
      }
      *static_cast<std::string*>(target) = std::string(value);
    }
  }
  return length;
}

// What a server said about the version of a copy, to ask "changed since?"
// in a later crawl.
struct Validators {
  std::string ETag;
  std::string LastModified;
};

std::string HeaderValue(std::string_view line, std::string_view lowerName) {
  if (line.size() <= lowerName.size() || line[lowerName.size()] != ':') return {};
  for (std::size_t i = 0; i < lowerName.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != lowerName[i]) return {};
  }
  std::string_view value = line.substr(lowerName.size() + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' ')) {
    value.remove_suffix(1);
  }
  return std::string(value);
}

// Keeps the validators of the final response (after redirects).
std::size_t ReadValidators(char* data, std::size_t size, std::size_t count, void* target) {
  auto* validators = static_cast<Validators*>(target);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) *validators = Validators{};
  if (std::string etag = HeaderValue(line, "etag"); !etag.empty()) validators->ETag = etag;
  if (std::string date = HeaderValue(line, "last-modified"); !date.empty()) {
    validators->LastModified = date;
  }
  return size * count;
}

}  // namespace

struct CurlInternetCache::Impl {
  CurlCacheSettings settings;
  CURL* curl = nullptr;
  // URLs fetched successfully in this crawl, with their local copies.
  std::unordered_map<std::string, std::string> fetched;
  // Validators of copies from earlier crawls, by URL.
  std::unordered_map<std::string, Validators> known;

  explicit Impl(CurlCacheSettings s) : settings(std::move(s)) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    curl = curl_easy_init();
    std::error_code ec;
    fs::create_directories(settings.CacheFolder, ec);
  }
  ~Impl() {
    if (curl) curl_easy_cleanup(curl);
  }

  // Sets the options every request shares; the handle is reused so its
  // connections stay open between requests.
  void Prepare(const std::string& url) {
    curl_easy_reset(curl);
    const std::string requestUrl = RequestUrl(url);
    curl_easy_setopt(curl, CURLOPT_URL, requestUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, settings.ConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, settings.StallTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    if (!settings.ExtraCaFile.empty()) {
      curl_easy_setopt(curl, CURLOPT_CAINFO, settings.ExtraCaFile.c_str());
    }
  }

  std::string Fetch(const std::string& url) {
    if (!curl || !IsFetchable(url)) return {};
    if (auto it = fetched.find(url); it != fetched.end()) {
      std::error_code ec;
      if (fs::is_regular_file(it->second, ec)) return it->second;
      fetched.erase(it);
    }
    const fs::path finalPath = fs::path(settings.CacheFolder) / CacheName(url);
    const fs::path partial = fs::path(finalPath.string() + ".part");
    std::error_code folderError;
    fs::create_directories(settings.CacheFolder, folderError);  // may have been removed meanwhile
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) return {};
    Prepare(url);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
    Validators received;
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, ReadValidators);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &received);
    curl_slist* conditions = ConditionsFor(url, finalPath);
    const bool conditional = conditions != nullptr;
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, conditions);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(conditions);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    const bool written = std::fclose(file) == 0;
    std::error_code ec;
    if (result == CURLE_OK && status == 304 && conditional) {
      // Unchanged since the earlier crawl: the copy in place is current.
      fs::remove(partial, ec);
      fetched[url] = finalPath.string();
      return finalPath.string();
    }
    // A failed status, a broken or short body and a timeout all end here:
    // only a complete copy ever gets its final name.
    if (result != CURLE_OK || status == 304 || !written) {
      fs::remove(partial, ec);
      return {};
    }
    fs::rename(partial, finalPath, ec);
    if (ec) {
      fs::remove(partial, ec);
      return {};
    }
    known[url] = received;
    fetched[url] = finalPath.string();
    return finalPath.string();
  }

  // "If-None-Match" / "If-Modified-Since" for a copy kept from an earlier
  // crawl; none when there is no copy or the server gave no validator.
  curl_slist* ConditionsFor(const std::string& url, const fs::path& copy) const {
    auto it = known.find(url);
    std::error_code ec;
    if (it == known.end() || !fs::is_regular_file(copy, ec)) return nullptr;
    curl_slist* headers = nullptr;
    if (!it->second.ETag.empty()) {
      headers = curl_slist_append(headers, ("If-None-Match: " + it->second.ETag).c_str());
    }
    if (!it->second.LastModified.empty()) {
      headers = curl_slist_append(headers, ("If-Modified-Since: " + it->second.LastModified).c_str());
    }
    return headers;
  }

  std::string LengthHeader(const std::string& url, bool head) {
    std::string header;
    Prepare(url);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 0L);
    // The size of the file itself is asked for, not of a compressed copy.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, nullptr);
    if (head) curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, ReadHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &header);
    if (curl_easy_perform(curl) != CURLE_OK) return head ? LengthHeader(url, false) : std::string();
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    // Servers that refuse HEAD get a GET whose body is thrown away unread.
    if (head && (status == 405 || status == 501)) return LengthHeader(url, false);
    if (status >= 400) return {};
    return header;
  }
};

CurlInternetCache::CurlInternetCache(CurlCacheSettings settings)
    : impl_(std::make_unique<Impl>(std::move(settings))) {}

CurlInternetCache::~CurlInternetCache() = default;

void CurlInternetCache::BeginCrawl() { impl_->fetched.clear(); }

std::string CurlInternetCache::DownloadToCacheFile(const std::string& url) {
  return impl_->Fetch(url);
}

std::string CurlInternetCache::ContentLengthHeader(const std::string& url) {
  if (!impl_->curl || !IsFetchable(url)) return {};
  return impl_->LengthHeader(url, true);
}

}  // namespace kestrelin
