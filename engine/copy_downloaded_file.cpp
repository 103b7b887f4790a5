#include "engine/copy_downloaded_file.h"
namespace kestrelin {
bool CopyDownloadedFile(CrawlContext&, const std::string&, const std::string&, int,
                        const std::string&) {
  return false;
}
}  // namespace kestrelin
