#pragma once
// The end of every crawl, stopped or not: the failure report (skipped after
// a stop), the rebuild into SavePath, the window restored and the duration
// shown.
#include <string>
#include <vector>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"

namespace kestrelin {

// Everything after the page loop. Unless `stopped`: every keyed line of the
// log comes to read its key (its failure record), with ListFailed 1 every
// other line is removed, and with TxtOutput 1 after a driver failure
// (HadFailures) one block of records is appended to fail.txt in the
// program's folder. RebuildFileStructure (unless `rebuild` is false) runs
// between the results pass and the writing of fail.txt, so that what it
// could not place is reported there too; UnplacedItems counts it. Then
// EndTime, the idle controls, StopDownload = 0, the tray unloaded and the
// window shown (HideDLing 1), the completion message with the duration, and
// the folder list refreshed.
void CompleteCrawl(CrawlContext& ctx, const std::string& SavePath, bool stopped,
                   const CrawlOptions& options, bool rebuild = true);

// The block a crawl appends to fail.txt, with CR LF line ends: the start URL
// + " @ " + the start time as HH:MM:SS, a line of 39 "=", one record per
// line, another line of 39 "=" and an empty line.
std::string FailureReportBlock(const std::string& startUrl, int startSecondsOfDay,
                               const std::vector<std::string>& records);

}  // namespace kestrelin
