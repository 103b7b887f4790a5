#pragma once
// What the internet cache is told to fetch ahead before a download pass.
//
// A pass's own links come first, in order. Its page's links are only known
// once the page is read, so on its own the cache could overlap transfers
// within one pass only, and a site of many small pages would wait for one
// round trip per page. The pages the crawl reads next are already in the
// cache, though: their links are previewed with the same tests and hinted
// after the pass's own, so their transfers overlap the pages before them.
// Hints never change what a fetch returns, the crawl's lists or its log.
//
// A previewed page's links are kept until the crawl reaches the page: with
// the size limit off they are exactly what link extraction would find in
// the same copy, so the page is neither read nor scanned a second time.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"
#include "engine/duplicate_removal.h"

namespace kestrelin {

class FetchAheadPlan {
 public:
  // How many of the pages after the current one are previewed.
  static constexpr long kPagesAhead = 8;

  // Hints FileLinks from `fileIndex` to the end, then the links of the next
  // pages that have not been previewed yet; with the size limit on, whose
  // test asks the server, their size queries instead. No preview when only
  // the first page is taken. A previewed link that `listed` (the duplicate
  // check of FileLinks, just run) already holds is not hinted: FileLinks
  // before `fileIndex` was fetched, and the rest is hinted first.
  void HintBeforePass(CrawlContext& ctx, long fileIndex, long pageIndex,
                      const CrawlOptions& options, GrowingLinkList& listed);

  // With the size limit on, hints the size queries link extraction is about
  // to make for `pageText` (normalized) of `pageUrl`, so they run side by
  // side; a page previewed earlier had its size queries hinted then.
  void HintSizesBeforeExtraction(CrawlContext& ctx, const std::string& pageUrl,
                                 std::string_view pageText, const CrawlOptions& options);

  // What a preview found in the copy `CacheFile` of a page (of `CopySize`
  // bytes): the links link extraction appends and the page text it leaves.
  struct PreviewedPage {
    std::string CacheFile;
    std::uint64_t CopySize = 0;
    std::vector<std::string> Links;
    std::string Rest;
  };

  // The preview of `pageUrl`, taken out of the plan, when one was made from
  // the copy `cacheFile` with the size limit off and the copy is still
  // there with its size (a copy removed meanwhile is fetched anew, under
  // the same name); none otherwise.
  std::optional<PreviewedPage> TakePreview(CrawlContext& ctx, const std::string& pageUrl,
                                           const std::string& cacheFile);

 private:
  void HintLinksOfPage(CrawlContext& ctx, const std::string& pageUrl, const CrawlOptions& options,
                       GrowingLinkList& listed);

  std::unordered_set<std::string> previewed_;
  std::unordered_map<std::string, PreviewedPage> previews_;
  std::string pageText_;  // reused between previews
};

}  // namespace kestrelin
