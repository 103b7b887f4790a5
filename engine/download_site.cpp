#include "engine/download_site.h"

#include <optional>

#include "engine/complete_pages.h"
#include "engine/crawl_completion.h"
#include "engine/crawl_waiting.h"
#include "engine/download_pass.h"
#include "engine/duplicate_removal.h"
#include "engine/fetch_ahead_plan.h"
#include "engine/leftovers.h"
#include "engine/link_extraction.h"
#include "engine/page_text.h"
#include "engine/paths.h"
#include "engine/request_encoding_cache.h"
#include "engine/robots_rules.h"
#include "engine/url_helpers.h"
#include "engine/web_domain.h"

namespace kestrelin {
namespace {

// Every line the driver adds or changes is scrolled into view and painted.
void ShowLastLine(CrawlHost& host) {
  host.MakeLineVisible(host.LineCount());
  YieldTwice(host);
}

void TipWhenHidden(CrawlHost& host, const CrawlOptions& options, const std::string& tip, int kind) {
  if (options.HideDLing == 1) host.TraySetTip(tip, kind);
}

std::string NormalizeStartUrl(const std::string& url) {
  std::string normalized = ToForwardSlashes(url);
  if (normalized.find("//") == std::string::npos) normalized = "http://" + normalized;
  return normalized;
}

// The start of a crawl up to its first page. Returns false when the working
// folder is not free for it (leftovers of another crawl that could neither
// go home nor be set aside); a red line then says so.
bool StartCrawl(CrawlContext& ctx, std::string& SavePath, std::string& URL,
                const CrawlOptions& options) {
  CrawlState& st = ctx.State;
  CrawlHost& host = ctx.Host;
  if (options.HideDLing == 1) {
    host.HideMainWindow();
    host.LoadTray();
  }
  st.HadFailures = kFalse;
  st.UnplacedItems = 0;
  st.StartTime = ctx.Time.SecondsOfDay();
  host.ClearLog();
  ctx.Cache.SetRules({});  // robots.txt is read before this crawl's rules are known
  ctx.Cache.BeginCrawl();

  URL = NormalizeStartUrl(URL);
  st.FileLinks = {URL};
  st.FileCount = 1;
  st.PageLinks = {URL};
  st.PageCount = 0;
  st.CopiedFiles.clear();

  if (!EndsWithSeparator(SavePath)) SavePath += kPathSeparator;
  if (!BringLeftoversHome(ctx, SavePath)) {
    const std::string text = "The working folder " + st.CachePath +
                             " still holds files of another crawl; nothing was downloaded.";
    if (!host.AddKeyedLine(text, st.CachePath)) host.AddLine(text);
    host.SetLineRed(host.LineCount());
    ShowLastLine(host);
    st.HadFailures = kTrue;
    ++st.UnplacedItems;
    return false;
  }
  ClaimWorkingFolder(ctx, SavePath, options.DecodeName);

  st.SiteRoot = UrlSiteRoot(URL);
  st.PageFolder = UrlFolder(URL);
  st.WebDomain = DetectWebDomain(host, st.SiteRoot);
  st.RobotsFound = kFalse;

  host.AddLine("Searching for \"robots.txt\"...");
  TipWhenHidden(host, options, "Searching for \"robots.txt\"", 1);
  YieldTwice(host);
  LoadRobotsRules(ctx, st.WebDomain, st.SiteRoot, st.PageFolder);
  ctx.Cache.SetRules(CrawlCacheRules(st, options));
  st.PageCount = 0;
  return true;
}

void ReportUnreachablePage(CrawlContext& ctx, const std::string& URL, const CrawlOptions& options) {
  CrawlHost& host = ctx.Host;
  const std::string text = "Could not connect to " + URL;
  // The same page can only come up twice when a repeat survived duplicate
  // removal; its second line then stays without a key.
  if (!host.AddKeyedLine(text, URL)) host.AddLine(text);
  TipWhenHidden(host, options, text, 2);
  host.MakeLineVisible(host.LineCount());
  host.SetLineRed(host.LineCount());
  YieldTwice(host);
  ctx.State.HadFailures = kTrue;
}

// What the page loop keeps from one page to the next: what duplicate
// removal has checked of the two link lists, and what was hinted ahead.
struct PageLoopState {
  GrowingLinkList Files;
  GrowingLinkList Pages;
  FetchAheadPlan FetchAhead;
};

// One turn of the page loop. Returns true when a stop ended the download
// pass of this page.
bool CrawlPage(CrawlContext& ctx, std::string& SavePath, std::string& URL, long pageIndex,
               long& fileIndex, PageLoopState& lists, const CrawlOptions& options) {
  CrawlState& st = ctx.State;
  CrawlHost& host = ctx.Host;

  URL = ToForwardSlashes(st.PageLinks[pageIndex]);
  st.PageFolder = UrlFolder(URL);
  st.PageCacheFile = DownloadToCache(ctx, URL);
  // A folder address written without its "/" is read from inside the folder.
  if (options.CompletePages == 1 && PageAddress(ctx, URL) == URL + "/") st.PageFolder = URL + "/";
  if (!EndsWithSeparator(SavePath)) SavePath += kPathSeparator;

  if (st.PageCacheFile.empty() && st.StopDownload == kTrue) {  // a stop ended its transfer
    ReportStop(ctx);
    return true;
  }
  if (st.PageCacheFile.empty()) {
    ReportUnreachablePage(ctx, URL, options);
    return false;
  }

  host.AddLine("Connected to " + URL + ", downloading...");
  TipWhenHidden(host, options, "Connected to " + URL, 2);
  ShowLastLine(host);

  st.PageCacheFile = DownloadToCache(ctx, URL);
  std::optional<FetchAheadPlan::PreviewedPage> previewed =
      lists.FetchAhead.TakePreview(ctx, URL, st.PageCacheFile);
  // A style sheet is read only for what it names, not by the page scan.
  const bool styleSheet = IsNotedStyleSheet(st, URL, options);
  if (styleSheet) previewed.reset();
  if (!previewed) {
    if (!ReadPageText(ctx.FSO, st.PageCacheFile, st.PageText)) return false;
    st.PageText = NormalizePageText(st.PageText);
  }

  host.AddLine("Extracting links from " + URL);
  const long extractionLine = host.LineCount();
  ShowLastLine(host);

  if (styleSheet) {
    st.PageText.clear();
  } else if (previewed) {
    AppendPreviewedLinks(ctx, std::move(previewed->Links));
    st.PageText = std::move(previewed->Rest);
  } else {
    lists.FetchAhead.HintSizesBeforeExtraction(ctx, URL, st.PageText, options);
    ExtractLinks(ctx, st.PageText, options.NoDownload, options.OnlyDownload, options.LimitSize,
                 options.SizeLimit, options.NoGoUp, options.FollowExternal,
                 options.DownloadUnknown);
  }
  AppendNeeds(ctx, URL, st.PageCacheFile, styleSheet, options);
  lists.Files.RemoveRepeatsByCount(st.FileLinks, st.FileCount);

  host.SetBarMax(100);
  host.SetBarValue(0);
  host.SetLineText(extractionLine, "Links obtained, redundant links removed, now downloading...");
  ShowLastLine(host);

  lists.FetchAhead.HintBeforePass(ctx, fileIndex, pageIndex, options, lists.Files);
  if (RunDownloadPass(ctx, fileIndex, pageIndex, URL, options)) return true;

  host.RemoveLine(extractionLine);
  host.RemoveLine(extractionLine - 1);
  host.AddLine("Finished downloading " + URL);
  ShowLastLine(host);

  if (st.PageCount != 0) lists.Pages.RemoveRepeatsByLastIndex(st.PageLinks, st.PageCount);
  return false;
}

// Crawls page after page until none is left or a stop ends a download
// pass (true). The loop's lists live only as long as the loop: the
// rebuild after it needs the room more.
bool CrawlPages(CrawlContext& ctx, std::string& SavePath, std::string& URL,
                const CrawlOptions& options) {
  long pageIndex = 0;
  long fileIndex = 0;
  PageLoopState lists;
  do {
    if (CrawlPage(ctx, SavePath, URL, pageIndex, fileIndex, lists, options)) return true;
    ++pageIndex;
    ctx.Host.SetBarValue(ctx.Host.BarMax());
  } while (pageIndex <= ctx.State.PageCount);
  return false;
}

}  // namespace

void DownloadSite(CrawlContext& caller, std::string& SavePath, std::string& URL,
                  const CrawlOptions& options) {
  // Every fetch of the crawl asks for the link's request target.
  RequestEncodingCache cache(caller.Cache, NormalizeStartUrl(URL));
  CrawlContext ctx{caller.State, caller.Host,  cache,
                   caller.FSO,   caller.Time,  caller.Types, caller.ProgramFolder};
  if (!StartCrawl(ctx, SavePath, URL, options)) {
    CompleteCrawl(ctx, SavePath, false, options, false);
    return;
  }
  const bool stopped = CrawlPages(ctx, SavePath, URL, options);
  ctx.Cache.EndCrawl();  // the rebuild needs the room more
  CompleteCrawl(ctx, SavePath, stopped, options);
  ReleaseWorkingFolder(ctx);
}

}  // namespace kestrelin
