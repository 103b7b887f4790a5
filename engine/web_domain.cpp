#include "engine/web_domain.h"
namespace kestrelin {
std::string DetectWebDomain(CrawlHost&, const std::string&) { return {}; }
}  // namespace kestrelin
