#pragma once
// Finding the links of one crawled page and deciding which to keep.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/crawl_context.h"

namespace kestrelin {

// True when `link` ends with html, htm, php, shtml, asp, phtml or shtm
// (exact case; no "." needed before the type).
bool IsPageExtension(std::string_view link);

// True when `text` contains a ".".
bool HasDot(std::string_view text);

// Scans `PageText` for the values of "href=", "src=" and "value=", makes
// each absolute, filters it by the options, the type lists, the scope, the
// robots rules and the size limit, and appends every survivor to FileLinks
// (folder part URL-decoded). With LimitSize 1 a file whose size query finds
// no length is kept only when DownloadUnknown is 1. Consumes `PageText`: on
// return it holds what followed the last value read. Always returns normally.
void ExtractLinks(CrawlContext& ctx, std::string& PageText, int NoDownload, int OnlyDownload,
                  int LimitSize, std::int64_t SizeLimit, int NoGoUp, int FollowExternal,
                  int DownloadUnknown = 0);

// What ExtractLinks would do with one page text with the size limit off:
// the links it would append, in order, and where the text it leaves begins.
struct LinksPreview {
  std::vector<std::string> Links;
  std::size_t RestAt = 0;
};

// The preview of `PageText`, a page in `pageFolder`, without appending
// anything or touching the progress log. Used to fetch the links of later
// pages ahead of their turn.
LinksPreview PreviewLinks(CrawlContext& ctx, const std::string& pageFolder,
                          std::string_view PageText, int NoDownload, int OnlyDownload, int NoGoUp,
                          int FollowExternal);

// Appends `links`, from the preview of the page now crawled, to FileLinks
// as ExtractLinks would have.
void AppendPreviewedLinks(CrawlContext& ctx, std::vector<std::string> links);

// The links whose size ExtractLinks will ask for with the size limit on, in
// order (absolute, as asked; links without a dot are left out, though
// their size is asked too), without asking or appending anything.
std::vector<std::string> PreviewSizeQueries(CrawlContext& ctx, const std::string& pageFolder,
                                            std::string_view PageText, int NoDownload,
                                            int OnlyDownload, int NoGoUp, int FollowExternal);

// Appends each of `links` (absolute addresses a page or style sheet needs,
// read by complete_pages.h) that passes the same tests as ExtractLinks'
// values: a folder address ("/" at the end) is tested as its index.html
// and kept; addresses that are not http or https are dropped; fragment and
// query are cut as ExtractLinks cuts them.
void AppendNeededLinks(CrawlContext& ctx, const std::vector<std::string>& links, int NoDownload,
                       int OnlyDownload, int LimitSize, std::int64_t SizeLimit, int NoGoUp,
                       int FollowExternal, int DownloadUnknown);

}  // namespace kestrelin
