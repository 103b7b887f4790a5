#pragma once
// One request of the internet cache on a curl easy handle: its options,
// the callbacks that take its headers and body, and what it ended with.
// A fetch writes its body into a CacheCopy; a size query stops at the
// first body byte. Redirects are followed, each target judged first by the
// crawl's rules; a body that grows past the size limit, or an encoded body
// that decodes into far more than arrived, ends the transfer.
//
// Used by the cache's worker thread only, which adds the handle to its
// multi handle and reads the end from it.
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/internet_cache.h"
#include "platform/cache_copy.h"
#include "platform/cache_entry.h"
#include "platform/response_headers.h"

namespace kestrelin {

enum class TransferKind {
  Fetch,       // the body goes into a copy
  SizeByHead,  // only the headers are asked for
  SizeByGet,   // for servers that refuse HEAD: stops at the first body byte
};

// What every transfer of the cache shares.
struct TransferSettings {
  std::string CaBundle;  // empty: curl's default authorities
  long ConnectTimeoutSeconds = 15;
  // Less than kStallBytes arriving within this many seconds ends a transfer.
  long StallSeconds = 30;
  std::shared_ptr<const CacheRules> Rules = std::make_shared<const CacheRules>();
};

// An encoded (compressed) body may decode into at most this many times
// the bytes that arrived, plus kDecodedAllowance: more is a decompression
// bomb, not a file.
constexpr std::uint64_t kMaxDecodedMultiple = 200;
constexpr std::uint64_t kDecodedAllowance = 1 << 20;
constexpr long kStallBytes = 1024;

class CurlTransfer {
 public:
  CurlTransfer(TransferKind kind, std::string url) : kind_(kind), url_(std::move(url)) {}
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // Sets every option of `easy` (a new or reset handle, which this
  // transfer uses until the worker takes it back). A fetch writes into
  // `copy`; `known` are the validators of the copy already there, sent as
  // conditions.
  void Setup(CURL* easy, const TransferSettings& settings, std::unique_ptr<CacheCopy> copy,
             const std::optional<Validators>& known);
  // Takes curl's result when the transfer has ended.
  void End(CURLcode result);

  TransferKind Kind() const { return kind_; }
  const std::string& Url() const { return url_; }
  CURL* Easy() const { return easy_; }
  CURLcode Result() const { return result_; }
  const ResponseHeaders& Response() const { return response_; }
  CacheCopy* Copy() const { return copy_.get(); }
  bool Conditional() const { return conditions_ != nullptr; }
  CopyFacts Facts() const { return facts_; }

  // A 2xx answer (a part of a body, 206, was never asked for) that curl
  // saw end normally, which rules out short bodies, broken chunks and
  // timeouts.
  bool DeliveredWholeBody() const;
  // For a size query: the "Content-length" text (empty when none, or on
  // failure); `askAgainWithGet` when the server refused or failed HEAD.
  std::string SizeAnswer(bool& askAgainWithGet) const;

 private:
  static std::size_t TakeHeader(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t StopAtBody(char* data, std::size_t size, std::size_t count, void* self);
  static int WatchForStall(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t);
  bool RedirectAllowed();
  bool BodyFits(std::size_t more);

  TransferKind kind_;
  std::string url_;
  CURL* easy_ = nullptr;
  std::shared_ptr<const CacheRules> rules_;  // as they were when the transfer started
  curl_slist* conditions_ = nullptr;
  std::unique_ptr<CacheCopy> copy_;
  ResponseHeaders response_;
  CopyFacts facts_;
  std::uint64_t droppedBytes_ = 0;  // of an error answer's body
  // The stall watch: the window that started at windowStart_ with
  // windowBytes_ arrived so far.
  std::chrono::steady_clock::time_point windowStart_;
  curl_off_t windowBytes_ = -1;
  std::size_t headerBytes_ = 0;
  std::chrono::seconds stallWindow_{30};
  bool stoppedAtBody_ = false;
  CURLcode result_ = CURLE_OK;
};

}  // namespace kestrelin
