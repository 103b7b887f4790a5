#include "engine/download_site.h"

#include "engine/crawl_completion.h"
#include "engine/download_pass.h"
#include "engine/duplicate_removal.h"
#include "engine/link_extraction.h"
#include "engine/paths.h"
#include "engine/robots_rules.h"
#include "engine/text_lines.h"
#include "engine/url_helpers.h"
#include "engine/web_domain.h"

namespace kestrelin {
namespace {

void YieldTwice(CrawlHost& host) {
  host.YieldEvents();
  host.YieldEvents();
}

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

void StartCrawl(CrawlContext& ctx, std::string& URL, const CrawlOptions& options) {
  CrawlState& st = ctx.State;
  CrawlHost& host = ctx.Host;
  if (options.HideDLing == 1) {
    host.HideMainWindow();
    host.LoadTray();
  }
  st.HadFailures = kFalse;
  st.StartTime = ctx.Time.SecondsOfDay();
  host.ClearLog();
  ctx.Cache.BeginCrawl();

  URL = NormalizeStartUrl(URL);
  st.FileLinks = {URL};
  st.FileCount = 1;
  st.PageLinks = {URL};
  st.PageCount = 0;

  st.SiteRoot = UrlSiteRoot(URL);
  st.PageFolder = UrlFolder(URL);
  st.WebDomain = DetectWebDomain(host, st.SiteRoot);
  st.RobotsFound = kFalse;

  host.AddLine("Searching for \"robots.txt\"...");
  TipWhenHidden(host, options, "Searching for \"robots.txt\"", 1);
  YieldTwice(host);
  LoadRobotsRules(ctx, st.WebDomain, st.SiteRoot, st.PageFolder);
  st.PageCount = 0;
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

// The page's cached copy read as trimmed lines joined without separators,
// or nothing when the copy is missing or empty.
bool ReadPageText(CrawlContext& ctx, std::string& pageText) {
  pageText.clear();
  if (ctx.State.PageCacheFile.empty()) return false;
  const auto content = ctx.FSO.ReadFile(ctx.State.PageCacheFile);
  if (!content || content->empty()) return false;
  pageText.reserve(content->size());
  ForEachLine(*content, false, [&](std::string_view line) { pageText.append(TrimSpaces(line)); });
  return true;
}

// One turn of the page loop. Returns true when a stop ended the download
// pass of this page.
// The two link lists of one crawl, with what duplicate removal has checked.
struct CrawlLists {
  GrowingLinkList Files;
  GrowingLinkList Pages;
};

bool CrawlPage(CrawlContext& ctx, std::string& SavePath, std::string& URL, long pageIndex,
               long& fileIndex, CrawlLists& lists, const CrawlOptions& options) {
  CrawlState& st = ctx.State;
  CrawlHost& host = ctx.Host;

  URL = ToForwardSlashes(st.PageLinks[pageIndex]);
  st.PageFolder = UrlFolder(URL);
  st.PageCacheFile = DownloadToCache(ctx, URL);
  if (!EndsWithSeparator(SavePath)) SavePath += kPathSeparator;

  if (st.PageCacheFile.empty()) {
    ReportUnreachablePage(ctx, URL, options);
    return false;
  }

  host.AddLine("Connected to " + URL + ", downloading...");
  TipWhenHidden(host, options, "Connected to " + URL, 2);
  ShowLastLine(host);

  st.PageCacheFile = DownloadToCache(ctx, URL);
  if (!ReadPageText(ctx, st.PageText)) return false;
  st.PageText = NormalizePageText(st.PageText);

  host.AddLine("Extracting links from " + URL);
  const long extractionLine = host.LineCount();
  ShowLastLine(host);

  ExtractLinks(ctx, st.PageText, options.NoDownload, options.OnlyDownload, options.LimitSize,
               options.SizeLimit, options.NoGoUp, options.FollowExternal);
  lists.Files.RemoveRepeatsByCount(st.FileLinks, st.FileCount);

  host.SetBarMax(100);
  host.SetBarValue(0);
  host.SetLineText(extractionLine, "Links obtained, redundant links removed, now downloading...");
  ShowLastLine(host);

  if (RunDownloadPass(ctx, fileIndex, pageIndex, URL, options)) return true;

  host.RemoveLine(extractionLine);
  host.RemoveLine(extractionLine - 1);
  host.AddLine("Finished downloading " + URL);
  ShowLastLine(host);

  if (st.PageCount != 0) lists.Pages.RemoveRepeatsByLastIndex(st.PageLinks, st.PageCount);
  return false;
}

}  // namespace

void DownloadSite(CrawlContext& ctx, std::string& SavePath, std::string& URL,
                  const CrawlOptions& options) {
  StartCrawl(ctx, URL, options);

  long pageIndex = 0;
  long fileIndex = 0;
  CrawlLists lists;
  bool stopped = false;
  do {
    if (CrawlPage(ctx, SavePath, URL, pageIndex, fileIndex, lists, options)) {
      stopped = true;
      break;
    }
    ++pageIndex;
    ctx.Host.SetBarValue(ctx.Host.BarMax());
  } while (pageIndex <= ctx.State.PageCount);

  CompleteCrawl(ctx, SavePath, stopped, options);
}

}  // namespace kestrelin
