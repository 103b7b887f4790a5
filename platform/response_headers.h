#pragma once
// The response header fields the internet cache looks at, gathered line by
// line from curl's header callback. A new status line starts afresh, so
// after redirects only the final response's fields remain.
// One instance per transfer, used only by the thread that runs the
// transfer (the cache's worker).
#include <string>
#include <string_view>

#include "platform/cache_entry.h"

namespace kestrelin {

struct ResponseHeaders {
  bool HaveStatusLine = false;
  bool Complete = false;  // the blank line after the final response's fields arrived
  long Status = 0;            // of the status line, 0 when it has none
  std::string ContentLength;  // the raw "Content-Length" value, blanks trimmed
  std::string ContentType;
  std::string Location;       // where a redirect points, as sent
  bool Encoded = false;       // a "Content-Encoding" other than identity
  Validators Version;         // "ETag" and "Last-Modified"

  // Takes one header line as curl hands it over (with its line end).
  void Take(std::string_view line);
};

}  // namespace kestrelin
