#pragma once
// Small routines the crawl driver uses on URLs and page text. No state.
#include <string>
#include <string_view>

#include "engine/crawl_context.h"

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

}  // namespace kestrelin
