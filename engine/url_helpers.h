#pragma once
// Small routines the crawl driver uses on URLs and page text. No state.
#include <string>
#include <string_view>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"

namespace kestrelin {

// The URL up to and including its last "/"; empty when it has none.
std::string UrlFolder(std::string_view url);

// The URL up to and including the first "/" after its host: for
// "scheme://host/..." the "/" after the host; for any other text the first
// "/" at or after the 8th character. The whole text when there is none.
std::string UrlSiteRoot(std::string_view url);

// Every "\" replaced by "/".
std::string ToForwardSlashes(std::string_view text);

// Folds "src_", "href_", "value_" and "=_" (each to a fixed point, in this
// order) so that the blanks the driver turned into "_" vanish after the
// attribute names and "=". Changes `pageText` and returns it.
std::string& NormalizeAttributes(std::string& pageText);

// The driver's whole-text normalization of a page: apostrophes become
// double quotes and every run of blanks after src, href, value or "="
// disappears; other blanks and underscores are kept.
std::string NormalizePageText(std::string_view pageText);

// The internet cache's rules for a crawl whose SiteRoot, PageFolder and
// robots rules are set for its start page: a redirect is judged like a link
// of the site (in scope unless external files are allowed, where an http
// address in scope may move to https; not refused by robots.txt); with the
// size limit on, a body may not grow past SizeLimit. The rules keep copies
// of what they read.
CacheRules CrawlCacheRules(const CrawlState& state, const CrawlOptions& options);

}  // namespace kestrelin
