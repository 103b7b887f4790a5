#pragma once
// What the option CompletePages adds to a crawl, and what both copy options
// note of each download: pages and style sheets read for everything they
// need (srcset candidates, <object data>, poster, url() and @import, folder
// links), downloads the server calls text/html read as pages, and names
// that a browser opens from disk (a folder as its index.html, a page
// without a page extension with ".html" added). Called by the download pass
// and the page loop on the crawl's thread. With both options off nothing
// here changes a crawl.
#include <string>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"

namespace kestrelin {

// The working-folder name of a good download of `link`: FlattenedName as
// always; with CompletePages, the name of the folder's index.html for a
// folder address (or one redirected to its "/"), and ".html" added to a
// page the server calls text/html that has no page extension.
std::string CopyWorkingName(CrawlContext& ctx, const std::string& link,
                            const CrawlOptions& options);

// Notes a good download in CopiedFiles when either option is on.
void NoteCopiedFile(CrawlContext& ctx, const std::string& link, const std::string& workingName,
                    const CrawlOptions& options);

// True when CompletePages makes `link` (just noted) a page to read that the
// plain rules would not: a style sheet always (it is what a page needs),
// a text/html download without page extension when pages are followed
// (RipPageOnly off, and within the scope the download pass asks of pages).
bool ReadsAsNeeded(CrawlContext& ctx, const std::string& link, const CrawlOptions& options);

// True when CompletePages is on and `url` was noted as a style sheet.
bool IsNotedStyleSheet(const CrawlState& st, const std::string& url, const CrawlOptions& options);

// The address the page at `url` was read from: its final address when it
// was redirected, `url` otherwise.
std::string PageAddress(CrawlContext& ctx, const std::string& url);

// With CompletePages: reads the local copy of the page or style sheet at
// `url` and appends what it needs to FileLinks through the link tests
// (AppendNeededLinks). Nothing without the option.
void AppendNeeds(CrawlContext& ctx, const std::string& url, const std::string& cacheFile,
                 bool styleSheet, const CrawlOptions& options);

}  // namespace kestrelin
