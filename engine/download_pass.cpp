#include "engine/download_pass.h"

#include "engine/complete_pages.h"
#include "engine/copy_downloaded_file.h"
#include "engine/crawl_waiting.h"
#include "engine/flattened_name.h"
#include "engine/link_extraction.h"
#include "engine/paths.h"
#include "engine/progress_percent.h"
#include "engine/text_lines.h"
#include "engine/tray_tip.h"

namespace kestrelin {
namespace {

// Turns the file's own line into the red failure line keyed by link + " (" +
// page + ")". When that line is already gone (a good copy removed it before
// the copy turned out empty) a new line takes its place rather than
// recolouring someone else's.
void MarkDownloadFailure(CrawlContext& ctx, long fileLine, const std::string& link,
                         const std::string& pageUrl, const std::string& why = {}) {
  CrawlHost& host = ctx.Host;
  const std::string text = "Could not download " + link + why;
  const std::string key = link + " (" + pageUrl + ")";
  if (host.LineCount() == fileLine) {
    host.SetLineText(fileLine, text);
    host.SetLineKey(fileLine, key);
  } else if (!host.AddKeyedLine(text, key)) {
    host.AddLine(text);
  }
  host.SetLineRed(host.LineCount());
  host.MakeLineVisible(host.LineCount());
  ctx.State.HadFailures = kTrue;
}

// A working copy that must not reach the destination (empty, or possibly
// cut short by a failed copy) is taken out of the working folder.
void DiscardWorkingCopy(CrawlContext& ctx, const std::string& workingPath) {
  if (ctx.FSO.FileSize(workingPath)) ctx.FSO.DeleteFile(workingPath);
}

// The fetch gave no copy. A stop ended it: the file was not fetched and
// is no failure, its line goes. A redirect the crawl's rules refuse and a
// body past the size limit say so on the failure line.
void ReportNoCopy(CrawlContext& ctx, long fileLine, const std::string& link,
                  const std::string& pageUrl) {
  if (ctx.State.StopDownload == kTrue) {
    if (ctx.Host.LineCount() == fileLine) ctx.Host.RemoveLine(fileLine);
    return;
  }
  const CopyFacts facts = ctx.Cache.FactsOf(link);
  std::string why;
  if (!facts.RefusedRedirect.empty()) why = " (redirected to " + facts.RefusedRedirect + ")";
  else if (facts.TooLarge) why = " (larger than the size limit, not downloaded)";
  MarkDownloadFailure(ctx, fileLine, link, pageUrl, why);
}

bool MayCrawl(const CrawlState& st, const std::string& link, const CrawlOptions& options) {
  if (options.RipPageOnly != 0 || !IsPageExtension(link)) return false;
  if (options.FollowExternal != 1) return true;
  return StartsWith(link, options.NoGoUp != 0 ? st.PageFolder : st.SiteRoot);
}

void AppendPage(CrawlState& st, const std::string& link) {
  ++st.PageCount;
  st.PageLinks.resize(static_cast<std::size_t>(st.PageCount) + 1);
  st.PageLinks[st.PageCount] = link;
}

// Downloads FileLinks(i) into the working folder and reports the outcome on
// its line.
void DownloadOne(CrawlContext& ctx, long i, long pageIndex, const std::string& pageUrl,
                 const CrawlOptions& options) {
  CrawlState& st = ctx.State;
  CrawlHost& host = ctx.Host;
  const std::string link = st.FileLinks[i];

  host.AddLine("Downloading " + link);
  const long fileLine = host.LineCount();
  if (options.HideDLing == 1) {
    const int percent = DownloadTipPercent(pageIndex, st.PageCount, i, st.FileCount);
    host.TraySetTip(DownloadingTip(link, percent), 2);
  }
  host.MakeLineVisible(host.LineCount());
  YieldTwice(host);

  const std::string cachedFile = DownloadToCache(ctx, link);
  if (cachedFile.empty()) {
    ReportNoCopy(ctx, fileLine, link, pageUrl);
    return;
  }
  const std::string workingName = CopyWorkingName(ctx, link, options);
  const std::string workingPath = JoinPath(st.CachePath, workingName);
  if (!CopyDownloadedFile(ctx, cachedFile, workingPath, options.NoValidate, link)) {
    DiscardWorkingCopy(ctx, workingPath);
    return;
  }
  const auto size = ctx.FSO.FileSize(workingPath);
  if (!size || *size == 0) {
    DiscardWorkingCopy(ctx, workingPath);
    MarkDownloadFailure(ctx, fileLine, link, pageUrl);
    return;
  }
  NoteCopiedFile(ctx, link, workingName, options);
  if (MayCrawl(st, link, options) || ReadsAsNeeded(ctx, link, options)) AppendPage(st, link);
}

}  // namespace

void ReportStop(CrawlContext& ctx) {
  CrawlHost& host = ctx.Host;
  ctx.Cache.CancelUpcoming();
  host.AddLine("Downloading stopped at command");
  host.SetLineRed(host.LineCount());
  host.MakeLineVisible(host.LineCount());
  YieldTwice(host);
}

bool RunDownloadPass(CrawlContext& ctx, long& fileIndex, long pageIndex, const std::string& pageUrl,
                     const CrawlOptions& options) {
  CrawlState& st = ctx.State;
  const long end = st.FileCount;
  for (long i = fileIndex; i < end; ++i) {
    if (st.StopDownload == kTrue) {
      fileIndex = i;
      ReportStop(ctx);
      return true;
    }
    DownloadOne(ctx, i, pageIndex, pageUrl, options);
    ctx.Host.SetBarValue(FilePercent(i, st.FileCount));
    YieldTwice(ctx.Host);
    fileIndex = i + 1;
    // A stop that ended this file's transfer (it may be the pass's last).
    if (st.StopDownload == kTrue) {
      ReportStop(ctx);
      return true;
    }
  }
  return false;
}

}  // namespace kestrelin
