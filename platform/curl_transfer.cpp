#include "platform/curl_transfer.h"

#include <algorithm>

#include "platform/request_url.h"

namespace kestrelin {
namespace {

constexpr const char* kUserAgent = "Kestrelin/" KESTRELIN_VERSION_TEXT;
// A larger receive buffer takes most bodies in one read from the socket.
constexpr long kReceiveBufferBytes = 1 << 18;
// An error answer's body is read and dropped rather than refused, so the
// connection stays open for the next request; one that goes on past this
// ends the transfer.
constexpr std::uint64_t kMaxDroppedBody = 1 << 20;

bool IsHttp(const std::string& url) {
  return url.starts_with("http://") || url.starts_with("https://");
}

// `location` resolved against `base`, as curl will follow it; empty when it
// does not parse.
std::string Resolved(const char* base, const std::string& location) {
  CURLU* parts = curl_url();
  std::string target;
  char* joined = nullptr;
  if (curl_url_set(parts, CURLUPART_URL, base, 0) == CURLUE_OK &&
      curl_url_set(parts, CURLUPART_URL, location.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl_url_get(parts, CURLUPART_URL, &joined, 0) == CURLUE_OK) {
    target = joined;
  }
  curl_free(joined);
  curl_url_cleanup(parts);
  return target;
}

}  // namespace

CurlTransfer::~CurlTransfer() { curl_slist_free_all(conditions_); }

void CurlTransfer::Setup(CURL* easy, const TransferSettings& settings,
                         std::unique_ptr<CacheCopy> copy, const std::optional<Validators>& known) {
  easy_ = easy;
  rules_ = settings.Rules;
  copy_ = std::move(copy);
  const std::string requestUrl = RequestUrl(url_);
  curl_easy_setopt(easy, CURLOPT_URL, requestUrl.c_str());
  curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, settings.ConnectTimeoutSeconds);
  stallWindow_ = std::chrono::seconds(std::max(1L, settings.StallSeconds));
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, WatchForStall);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
  curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  if (!settings.CaBundle.empty()) {
    curl_blob blob{const_cast<char*>(settings.CaBundle.data()), settings.CaBundle.size(),
                   CURL_BLOB_NOCOPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
  }
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, TakeHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  if (kind_ != TransferKind::Fetch) {
    // No Accept-Encoding: the size of the file itself is asked for, not of
    // a compressed form of it.
    if (kind_ == TransferKind::SizeByHead) curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, StopAtBody);
    return;
  }
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, TakeBody);
  if (rules_->MaxBodyBytes > 0) {
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(rules_->MaxBodyBytes));
  }
  if (known && !known->ETag.empty()) {
    conditions_ = curl_slist_append(conditions_, ("If-None-Match: " + known->ETag).c_str());
  }
  if (known && !known->LastModified.empty()) {
    conditions_ =
        curl_slist_append(conditions_, ("If-Modified-Since: " + known->LastModified).c_str());
  }
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, conditions_);
}

void CurlTransfer::End(CURLcode result) {
  result_ = result;
  if (result == CURLE_FILESIZE_EXCEEDED) facts_.TooLarge = true;
  long redirects = 0;
  curl_easy_getinfo(easy_, CURLINFO_REDIRECT_COUNT, &redirects);
  const char* effective = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &effective);
  facts_.FinalUrl = redirects > 0 && effective ? effective : url_;
  facts_.ContentType = response_.ContentType;
}

bool CurlTransfer::DeliveredWholeBody() const {
  const long status = response_.Status;
  return result_ == CURLE_OK && status >= 200 && status < 300 && status != 206;
}

std::string CurlTransfer::SizeAnswer(bool& askAgainWithGet) const {
  const bool answered =
      result_ == CURLE_OK || (stoppedAtBody_ && result_ == CURLE_WRITE_ERROR);
  const long status = response_.Status;
  askAgainWithGet = kind_ == TransferKind::SizeByHead &&
                    facts_.RefusedRedirect.empty() &&
                    (!answered || status == 405 || status == 501);
  if (!answered || status >= 400 || askAgainWithGet) return {};
  return response_.ContentLength;
}

// A redirect is judged once its headers are complete, before curl follows
// it: a refused target is never asked for.
std::size_t CurlTransfer::TakeHeader(char* data, std::size_t size, std::size_t count,
                                     void* self) {
  auto* transfer = static_cast<CurlTransfer*>(self);
  transfer->response_.Take(std::string_view(data, size * count));
  transfer->headerBytes_ += size * count;
  const ResponseHeaders& response = transfer->response_;
  const bool redirect = response.Status >= 300 && response.Status < 400 &&
                        response.Status != 304 && !response.Location.empty();
  if (response.Complete && redirect && !transfer->RedirectAllowed()) return 0;
  return size * count;
}

bool CurlTransfer::RedirectAllowed() {
  const char* current = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current);
  std::string target = Resolved(current ? current : url_.c_str(), response_.Location);
  const bool allowed =
      !target.empty() && IsHttp(target) && (!rules_->RedirectAllowed || rules_->RedirectAllowed(target));
  if (!allowed) facts_.RefusedRedirect = target.empty() ? response_.Location : std::move(target);
  return allowed;
}

std::size_t CurlTransfer::TakeBody(char* data, std::size_t size, std::size_t count, void* self) {
  auto* transfer = static_cast<CurlTransfer*>(self);
  const std::size_t bytes = size * count;
  const long status = transfer->response_.Status;
  if (status < 200 || status >= 300) {
    transfer->droppedBytes_ += bytes;
    return transfer->droppedBytes_ > kMaxDroppedBody ? 0 : bytes;
  }
  if (!transfer->BodyFits(bytes)) return 0;
  return transfer->copy_->Write(data, bytes) ? bytes : 0;
}

bool CurlTransfer::BodyFits(std::size_t more) {
  const std::uint64_t total = copy_->Size() + more;
  if (rules_->MaxBodyBytes > 0 && total > rules_->MaxBodyBytes) {
    facts_.TooLarge = true;
    return false;
  }
  if (!response_.Encoded) return true;
  curl_off_t arrived = 0;
  curl_easy_getinfo(easy_, CURLINFO_SIZE_DOWNLOAD_T, &arrived);
  return total <= kMaxDecodedMultiple * static_cast<std::uint64_t>(std::max<curl_off_t>(arrived, 0)) +
                      kDecodedAllowance;
}

// Ends a transfer that delivered less than kStallBytes in a whole stall
// window, however the bytes trickle in. curl calls this at least once a
// second while the transfer runs.
int CurlTransfer::WatchForStall(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                curl_off_t) {
  auto* transfer = static_cast<CurlTransfer*>(self);
  const auto now = std::chrono::steady_clock::now();
  const curl_off_t seen = downloaded + static_cast<curl_off_t>(transfer->headerBytes_);
  if (transfer->windowBytes_ < 0) {
    transfer->windowStart_ = now;
    transfer->windowBytes_ = seen;
    return 0;
  }
  if (now - transfer->windowStart_ < transfer->stallWindow_) return 0;
  if (seen - transfer->windowBytes_ < kStallBytes) return 1;
  transfer->windowStart_ = now;
  transfer->windowBytes_ = seen;
  return 0;
}

// A size query needs the headers only: the first body byte ends it.
std::size_t CurlTransfer::StopAtBody(char*, std::size_t size, std::size_t count, void* self) {
  if (size * count == 0) return 0;
  static_cast<CurlTransfer*>(self)->stoppedAtBody_ = true;
  return 0;
}

}  // namespace kestrelin
