#pragma once
// A crawl context for engine tests: the recording host, the real file
// service, a settable clock and empty type lists, with the program folder
// and its working folder inside the test's sandbox.
#include <memory>
#include <string>

#include "engine/crawl_context.h"
#include "engine/type_list_file.h"
#include "engine/internet_cache.h"
#include "engine/recording_host.h"
#include "platform/std_file_service.h"

namespace kestrelin::test {

class SettableClock : public Clock {
 public:
  int Now = 0;
  int SecondsOfDay() override { return Now; }
};

// Answers nothing: for routines that never fetch.
class OfflineCache : public InternetCache {
 public:
  void BeginCrawl() override {}
  std::string DownloadToCacheFile(const std::string&) override { return {}; }
  std::string ContentLengthHeader(const std::string&) override { return {}; }
};

struct CrawlTestContext {
  explicit CrawlTestContext(const std::string& programFolder, InternetCache* cache = nullptr)
      : Cache(cache ? cache : &offline),
        Ctx{State, Host, *Cache, Files, Clock, Types, programFolder} {
    State.CachePath = programFolder + "/cache";
    Files.CreateFolder(programFolder);
    Files.CreateFolder(State.CachePath);
  }

  CrawlState State;
  RecordingHost Host;
  OfflineCache offline;
  InternetCache* Cache;
  StdFileService Files;
  SettableClock Clock;
  StaticFileTypeLists Types;
  CrawlContext Ctx;
};

}  // namespace kestrelin::test
