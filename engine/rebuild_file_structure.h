#pragma once
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

// Turns the flattened names of the working folder into folders and moves the
// tree into SavePath (which ends with the separator), merging and replacing.
void RebuildFileStructure(CrawlContext& ctx, const std::string& SavePath, int HideDLing,
                          int DecodeName);

}  // namespace kestrelin
