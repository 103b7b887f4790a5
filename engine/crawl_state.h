#pragma once
// Everything one crawl keeps between its routines. One instance lives as
// long as the program; DownloadSite resets what it uses at the start of each
// crawl. RobotRules and RobotCount are never emptied (rules of an earlier
// crawl only match links into that earlier site).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrelin {

// A flag holds 0 for false and -1 for true.
constexpr int kTrue = -1;
constexpr int kFalse = 0;

// A download as the copy options need to know it (complete_pages.h).
struct CopiedFile {
  std::string WorkingName;  // its name in the working folder
  std::string FinalUrl;     // where it came from after redirects; empty when unknown
  bool Page = false;        // read as a page
  bool StyleSheet = false;  // read as a style sheet
};

struct CrawlState {
  std::string CachePath;  // working folder with the flattened downloads
  int MainLoaded = 0;     // 1 while the main window is open
  int StopDownload = 0;   // -1 asks the running crawl to stop

  std::string ContentLength;   // last "Content-length" header read
  std::int64_t RemoteSize = 0;  // size of the link last measured

  std::string SiteRoot;
  std::string PageFolder;
  std::string PageCacheFile;
  std::string PageText;
  std::string WebDomain;

  std::vector<std::string> RobotRules;
  long RobotCount = 0;
  int RobotsFound = 0;

  std::vector<std::string> FileLinks;  // valid entries 0 .. FileCount - 1
  long FileCount = 0;
  std::vector<std::string> PageLinks;  // valid entries 0 .. PageCount
  long PageCount = 0;

  int StartTime = 0;  // seconds since midnight
  int EndTime = 0;
  int Elapsed = 0;
  std::string DurationText;
  std::string FailPath;
  int HadFailures = 0;
  // Downloaded files and folders of this crawl (and of interrupted earlier
  // ones) that could not be placed in their destination.
  long UnplacedItems = 0;

  // Every good download, by its link; kept only with CompletePages or
  // OfflineLinks, emptied at the start of each crawl.
  std::map<std::string, CopiedFile> CopiedFiles;
};

}  // namespace kestrelin
