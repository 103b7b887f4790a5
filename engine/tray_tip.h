#pragma once
// The tray tip of a file being downloaded while the window is hidden:
// "Downloading " + the link + " (~" + P + "%)", where a link longer than 44
// characters shows its first 19 and last 19 characters around "...", and P
// is the share of the crawl done as the tip can best tell it.
#include <string>

namespace kestrelin {

// The file share fp (the bar's value after file i) when the page share pp is
// greater than fp or is 0; pp otherwise.
int DownloadTipPercent(long pageIndex, long PageCount, long i, long FileCount);

// The tip text for `link` with the percentage `percent` written as a plain
// decimal integer.
std::string DownloadingTip(const std::string& link, int percent);

}  // namespace kestrelin
