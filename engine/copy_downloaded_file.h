#pragma once
// Copying one download from the internet cache into the working folder,
// called by the download pass right after it added the line "Downloading " +
// link. Every change goes to the last line of the progress log.
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

// Copies `SourcePath` to `TargetPath`, replacing an existing file. On
// success the last line reads "Downloaded " + `Link` when `NoValidate` is 1
// and is removed otherwise; returns true (the working copy exists). On
// failure the last line reads "Could not copy " + SourcePath + " to " +
// TargetPath, keyed by SourcePath and red, or is removed when another line
// already holds that key; returns false. The source is never changed.
bool CopyDownloadedFile(CrawlContext& ctx, const std::string& SourcePath,
                        const std::string& TargetPath, int NoValidate, const std::string& Link);

}  // namespace kestrelin
