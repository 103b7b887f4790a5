#pragma once
// The option set a crawl is started with, in the order the start command
// reads it from the main window. Each value is a check-box state
// (0 clear, 1 checked, 2 greyed); each routine states its own test.
#include <cstdint>

namespace kestrelin {

struct CrawlOptions {
  int RipPageOnly = 1;
  int NoDownload = 0;
  int OnlyDownload = 0;
  int NoValidate = 1;
  int ListFailed = 0;
  int HideDLing = 0;
  int TxtOutput = 1;
  int LimitSize = 0;
  std::int64_t SizeLimit = 0;  // bytes; 0 when LimitSize is off
  int NoGoUp = 1;
  int DecodeName = 0;
  int FollowExternal = 0;
  // "Get files of unknown size": with LimitSize on, a file whose size query
  // finds no length is downloaded only when this is 1.
  int DownloadUnknown = 0;
  // Beyond the window's first two tabs; both off unless asked for.
  int CompletePages = 0;  // also fetch what pages and style sheets need, follow folder links
  int OfflineLinks = 0;   // rewrite the copied pages' links to work from disk
};

}  // namespace kestrelin
