#include "engine/robots_rules.h"
namespace kestrelin {
void LoadRobotsRules(CrawlContext&, const std::string&, const std::string&, const std::string&) {}
bool IsRefusedByRobots(const CrawlState&, std::string_view) { return false; }
}  // namespace kestrelin
