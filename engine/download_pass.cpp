#include "engine/download_pass.h"
namespace kestrelin {
bool RunDownloadPass(CrawlContext&, long&, long, const std::string&, const CrawlOptions&) {
  return false;
}
}  // namespace kestrelin
