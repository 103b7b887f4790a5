#pragma once
// The crawl state together with the services a crawl talks through. The
// engine's routines take it by reference; nothing here is global.
#include <string>

#include "engine/clock.h"
#include "engine/crawl_host.h"
#include "engine/crawl_state.h"
#include "engine/file_service.h"
#include "engine/file_type_lists.h"
#include "engine/internet_cache.h"

namespace kestrelin {

struct CrawlContext {
  CrawlState& State;
  CrawlHost& Host;
  InternetCache& Cache;
  FileService& FSO;
  Clock& Time;
  const FileTypeLists& Types;
  std::string ProgramFolder;  // holds fail.txt
};

}  // namespace kestrelin
