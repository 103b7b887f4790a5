#include "engine/copy_downloaded_file.h"

namespace kestrelin {
namespace {

bool MarkCopyFailure(CrawlHost& host, const std::string& SourcePath,
                     const std::string& TargetPath) {
  const long last = host.LineCount();
  host.SetLineText(last, "Could not copy " + SourcePath + " to " + TargetPath);
  if (!host.SetLineKey(last, SourcePath)) return false;
  host.SetLineRed(last);
  return true;
}

}  // namespace

bool CopyDownloadedFile(CrawlContext& ctx, const std::string& SourcePath,
                        const std::string& TargetPath, int NoValidate, const std::string& Link) {
  CrawlHost& host = ctx.Host;
  if (!ctx.FSO.LinkOrCopyFile(SourcePath, TargetPath)) {
    // A line that cannot carry its failure record would read as a plain
    // line; it goes instead.
    if (!MarkCopyFailure(host, SourcePath, TargetPath)) host.RemoveLine(host.LineCount());
    return false;
  }
  if (NoValidate == 1) {
    host.SetLineText(host.LineCount(), "Downloaded " + Link);
  } else {
    host.RemoveLine(host.LineCount());
  }
  return true;
}

}  // namespace kestrelin
