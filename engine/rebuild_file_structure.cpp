#include "engine/rebuild_file_structure.h"
namespace kestrelin {
void RebuildFileStructure(CrawlContext&, const std::string&, int, int) {}
}  // namespace kestrelin
