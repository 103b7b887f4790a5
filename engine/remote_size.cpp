#include "engine/remote_size.h"
namespace kestrelin {
std::int64_t GetRemoteSize(CrawlContext&, const std::string&) { return 0; }
}  // namespace kestrelin
