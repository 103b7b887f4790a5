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

// The real file service, where nothing can be moved into ReadOnlyFolder
// (as for a user who is not root, whatever user runs the tests).
struct TestFileService : StdFileService {
  std::string ReadOnlyFolder;
  bool Refused(const std::string& path) const {
    return !ReadOnlyFolder.empty() && path.starts_with(ReadOnlyFolder);
  }
  bool MoveFile(const std::string& from, const std::string& to) override {
    return !Refused(to) && StdFileService::MoveFile(from, to);
  }
  bool MoveFolder(const std::string& from, const std::string& to) override {
    return !Refused(to) && StdFileService::MoveFolder(from, to);
  }
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
  TestFileService Files;
  SettableClock Clock;
  StaticFileTypeLists Types;
  CrawlContext Ctx;
};

}  // namespace kestrelin::test
