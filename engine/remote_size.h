#pragma once
#include <cstdint>
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

// The number the "Content-length" header of `link` begins with (leading
// blanks skipped); 0 when the header is missing, not a number or the request
// failed. Sets ContentLength.
std::int64_t GetRemoteSize(CrawlContext& ctx, const std::string& link);

// True when `contentLength` (a header text as GetRemoteSize reads it)
// begins with a number, that is when the size query found a length.
bool IsKnownLength(const std::string& contentLength);

}  // namespace kestrelin
