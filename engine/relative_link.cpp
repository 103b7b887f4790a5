#include "engine/relative_link.h"
namespace kestrelin {
std::string ResolveRelativeLink(std::string link, std::string base) { return base + link; }
}  // namespace kestrelin
