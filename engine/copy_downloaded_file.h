#pragma once
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

// Copies the cached download into the working folder and turns the last
// progress line into the outcome. True when the working copy exists; false
// after marking the line red (or removing it when its key is taken).
bool CopyDownloadedFile(CrawlContext& ctx, const std::string& SourcePath,
                        const std::string& TargetPath, int NoValidate, const std::string& Link);

}  // namespace kestrelin
