#pragma once
// What the fuzz targets share: a crawl context whose internet cache serves
// one in-memory body for every URL, and a quiet host.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/crawl_context.h"
#include "engine/recording_host.h"
#include "engine/type_list_file.h"
#include "platform/std_file_service.h"

namespace kestrelin::fuzz {

// Answers every URL with the same local file, whose content the target sets.
class OneBodyCache : public InternetCache {
 public:
  explicit OneBodyCache(std::string bodyFile) : bodyFile_(std::move(bodyFile)) {}
  void BeginCrawl() override {}
  std::string DownloadToCacheFile(const std::string&) override { return bodyFile_; }
  std::string ContentLengthHeader(const std::string&) override { return "12345"; }

 private:
  std::string bodyFile_;
};

class SettableClock : public Clock {
 public:
  int SecondsOfDay() override { return 0; }
};

// A private scratch folder below the system's temporary folder, made once.
const std::string& ScratchFolder();

struct FuzzContext {
  FuzzContext();
  CrawlState State;
  RecordingHost Host;
  StdFileService Files;
  OneBodyCache Cache;
  SettableClock Time;
  StaticFileTypeLists Types;
  CrawlContext Ctx;
};

// Takes one byte off the front of the input (0 when it is empty).
std::uint8_t TakeByte(std::string_view& input);

}  // namespace kestrelin::fuzz
