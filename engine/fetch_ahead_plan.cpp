#include "engine/fetch_ahead_plan.h"

#include <algorithm>
#include <vector>

#include "engine/crawl_waiting.h"
#include "engine/link_extraction.h"
#include "engine/page_text.h"
#include "engine/url_helpers.h"

namespace kestrelin {

void FetchAheadPlan::HintBeforePass(CrawlContext& ctx, long fileIndex, long pageIndex,
                                    const CrawlOptions& options, GrowingLinkList& listed) {
  CrawlState& st = ctx.State;
  if (fileIndex < st.FileCount) {
    ctx.Cache.HintUpcoming(
        std::vector<std::string>(st.FileLinks.begin() + fileIndex, st.FileLinks.begin() + st.FileCount));
  }
  if (options.RipPageOnly != 0) return;
  const long last = std::min(st.PageCount, pageIndex + kPagesAhead);
  for (long p = pageIndex + 1; p <= last; ++p) {
    // A page spelt with "\" was downloaded under that spelling but is read
    // under another one: its copy is not at hand, so it is not previewed.
    const std::string& link = st.PageLinks[p];
    if (link.find('\\') != std::string::npos) continue;
    if (previewed_.insert(link).second) HintLinksOfPage(ctx, link, options, listed);
  }
}

void FetchAheadPlan::HintSizesBeforeExtraction(CrawlContext& ctx, const std::string& pageUrl,
                                               std::string_view pageText,
                                               const CrawlOptions& options) {
  if (options.LimitSize != 1 || previewed_.count(pageUrl)) return;
  const std::vector<std::string> links =
      PreviewSizeQueries(ctx, ctx.State.PageFolder, pageText, options.NoDownload, options.OnlyDownload, options.NoGoUp,
                         options.FollowExternal);
  if (!links.empty()) ctx.Cache.HintSizeQueries(links);
}

// Every later page in PageLinks was downloaded by an earlier pass under
// this spelling, so its copy comes from the cache without a request. Its
// links are resolved against its own folder.
void FetchAheadPlan::HintLinksOfPage(CrawlContext& ctx, const std::string& pageUrl,
                                     const CrawlOptions& options, GrowingLinkList& listed) {
  std::string cacheFile = DownloadToCache(ctx, pageUrl);
  const std::uint64_t copySize = ReadPageText(ctx.FSO, cacheFile, pageText_);
  if (copySize == 0) return;
  pageText_ = NormalizePageText(pageText_);
  const std::string folder = UrlFolder(pageUrl);
  // With the size limit on, which links are fetched depends on their sizes:
  // only the size queries are hinted then, and nothing is kept.
  if (options.LimitSize == 1) {
    const std::vector<std::string> queries =
        PreviewSizeQueries(ctx, folder, pageText_, options.NoDownload, options.OnlyDownload,
                           options.NoGoUp, options.FollowExternal);
    if (!queries.empty()) ctx.Cache.HintSizeQueries(queries);
    return;
  }
  LinksPreview preview = PreviewLinks(ctx, folder, pageText_, options.NoDownload,
                                      options.OnlyDownload, options.NoGoUp, options.FollowExternal);
  // A page repeats the links of the pages before it (menus, languages):
  // only those not listed yet are news to the cache.
  std::vector<std::string> unlisted;
  for (const std::string& link : preview.Links) {
    if (!listed.Contains(ctx.State.FileLinks, link)) unlisted.push_back(link);
  }
  if (!unlisted.empty()) ctx.Cache.HintUpcoming(unlisted);
  previews_[pageUrl] = {std::move(cacheFile), copySize, std::move(preview.Links),
                        pageText_.substr(preview.RestAt)};
}

std::optional<FetchAheadPlan::PreviewedPage> FetchAheadPlan::TakePreview(
    CrawlContext& ctx, const std::string& pageUrl, const std::string& cacheFile) {
  const auto found = previews_.find(pageUrl);
  if (found == previews_.end()) return std::nullopt;
  std::optional<PreviewedPage> page;
  if (found->second.CacheFile == cacheFile &&
      ctx.FSO.FileSize(cacheFile) == std::optional(found->second.CopySize)) {
    page = std::move(found->second);
  }
  previews_.erase(found);
  return page;
}

}  // namespace kestrelin
