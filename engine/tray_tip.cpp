#include "engine/tray_tip.h"

#include "engine/progress_percent.h"

namespace kestrelin {
namespace {

constexpr std::size_t kLongestWholeLink = 44;
constexpr std::size_t kShownEnd = 19;

}  // namespace

int DownloadTipPercent(long pageIndex, long PageCount, long i, long FileCount) {
  const int pagePercent = PagePercent(pageIndex, PageCount);
  const int filePercent = FilePercent(i, FileCount);
  return (pagePercent > filePercent || pagePercent == 0) ? filePercent : pagePercent;
}

std::string DownloadingTip(const std::string& link, int percent) {
  std::string shown = link;
  if (link.size() > kLongestWholeLink) {
    shown = link.substr(0, kShownEnd) + "..." + link.substr(link.size() - kShownEnd);
  }
  return "Downloading " + shown + " (~" + std::to_string(percent) + "%)";
}

}  // namespace kestrelin
