#pragma once
#include <string>
#include <string_view>

#include "engine/crawl_context.h"

namespace kestrelin {

// Fetches robots.txt from PageFolder, SiteRoot and WebDomain in turn, appends
// the "Disallow: " rules of its first section for all robots to RobotRules
// and replaces the text of the last progress line with the outcome.
void LoadRobotsRules(CrawlContext& ctx, const std::string& WebDomain, const std::string& SiteRoot,
                     const std::string& PageFolder);

// True when RobotsFound is set and `link` begins with one of the rules.
bool IsRefusedByRobots(const CrawlState& state, std::string_view link);

}  // namespace kestrelin
