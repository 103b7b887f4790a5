#include "engine/remote_size.h"

#include <cstdint>

#include "engine/crawl_waiting.h"

namespace kestrelin {

bool IsKnownLength(const std::string& contentLength) {
  const auto p = contentLength.find_first_not_of(" \t");
  return p != std::string::npos && contentLength[p] >= '0' && contentLength[p] <= '9';
}

std::int64_t GetRemoteSize(CrawlContext& ctx, const std::string& link) {
  ctx.State.ContentLength = RemoteLengthHeader(ctx, link);
  const std::string& text = ctx.State.ContentLength;
  std::size_t p = 0;
  while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
  std::int64_t size = 0;
  constexpr std::int64_t kLimit = INT64_MAX / 10 - 9;
  for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
    // A number past 64 bits is over every limit; it stays at the largest.
    if (size > kLimit) {
      size = INT64_MAX;
      break;
    }
    size = size * 10 + (text[p] - '0');
  }
  ctx.State.RemoteSize = size;
  return size;
}

}  // namespace kestrelin
