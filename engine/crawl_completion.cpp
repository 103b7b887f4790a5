#include "engine/crawl_completion.h"

#include "engine/duration_text.h"
#include "engine/offline_copy.h"
#include "engine/paths.h"
#include "engine/rebuild_file_structure.h"

namespace kestrelin {
namespace {

const char kRule[] = "=======================================";
const char kCrLf[] = "\r\n";

// Every keyed line from `first` on comes to read its key; with
// `removeOthers` every other line goes. Returns the keys in log order.
// Lines are removed from the end backwards, so each removal moves only the
// (few) kept lines after it.
std::vector<std::string> RunResultsPass(CrawlHost& host, bool removeOthers, long first = 1) {
  std::vector<std::string> records;
  const long count = host.LineCount();
  std::vector<long> unkeyed;
  for (long m = first; m <= count; ++m) {
    const std::string key = host.LineKey(m);
    if (key.empty()) {
      if (removeOthers) unkeyed.push_back(m);
      continue;
    }
    host.SetLineText(m, key);
    records.push_back(key);
  }
  for (auto it = unkeyed.rbegin(); it != unkeyed.rend(); ++it) host.RemoveLine(*it);
  return records;
}

void WriteFailureReport(CrawlContext& ctx, const std::vector<std::string>& records) {
  CrawlState& st = ctx.State;
  st.FailPath = JoinPath(ctx.ProgramFolder, "fail.txt");
  const std::string startUrl = st.FileLinks.empty() ? std::string() : st.FileLinks[0];
  ctx.FSO.AppendFile(st.FailPath, FailureReportBlock(startUrl, st.StartTime, records));
}

}  // namespace

std::string FailureReportBlock(const std::string& startUrl, int startSecondsOfDay,
                               const std::vector<std::string>& records) {
  std::string block = startUrl + " @ " + TimeOfDayText(startSecondsOfDay) + kCrLf;
  block += kRule;
  block += kCrLf;
  for (const auto& record : records) {
    block += record;
    block += kCrLf;
  }
  block += kRule;
  block += kCrLf;
  block += kCrLf;
  return block;
}

void CompleteCrawl(CrawlContext& ctx, const std::string& SavePath, bool stopped,
                   const CrawlOptions& options, bool rebuild) {
  CrawlState& st = ctx.State;
  CrawlHost& host = ctx.Host;
  std::vector<std::string> records;
  if (!stopped) records = RunResultsPass(host, options.ListFailed == 1);

  // The rebuild's own lines come after the results pass; what it could not
  // place is a failure of this crawl like any other and joins the report.
  const long rebuildLine = host.LineCount() + 1;
  std::function<void()> rewrite;
  if (options.OfflineLinks == 1) rewrite = [&] { RewriteCopyForOffline(ctx, options.DecodeName); };
  if (rebuild) {
    st.UnplacedItems +=
        RebuildFileStructure(ctx, SavePath, options.HideDLing, options.DecodeName, rewrite);
  }
  if (!stopped) {
    for (std::string& record : RunResultsPass(host, false, rebuildLine)) {
      records.push_back(std::move(record));
    }
    if (options.TxtOutput == 1 && st.HadFailures != 0) WriteFailureReport(ctx, records);
  }
  st.EndTime = ctx.Time.SecondsOfDay();
  host.RestoreIdleControls();
  st.StopDownload = kFalse;
  st.Elapsed = ElapsedSeconds(st.StartTime, st.EndTime);
  st.DurationText = FormatDuration(st.Elapsed);
  if (options.HideDLing == 1) {
    host.UnloadTray();
    host.ShowMainWindow();
  }
  host.ShowCompletionMessage("Completed downloading.\r\n\r\nDuration: " + st.DurationText);
  host.RefreshFolderList();
}

}  // namespace kestrelin
