#pragma once
#include <string>

#include "engine/crawl_host.h"

namespace kestrelin {

// "http://www." + the site's domain + "/" (keeping the site root's own
// scheme), or empty after adding the red line "Could not detect actual web
// domain." when the root has no domain.
std::string DetectWebDomain(CrawlHost& host, const std::string& root);

}  // namespace kestrelin
