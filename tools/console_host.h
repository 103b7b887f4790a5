#pragma once
// The headless tool's host: the recording host, with progress shown on
// stderr and the stop requests of Ctrl-C and --stop-after-files.
#include <atomic>
#include <string>

#include "engine/crawl_state.h"
#include "engine/recording_host.h"

namespace kestrelin {

class ConsoleHost : public RecordingHost {
 public:
  // `stopAfterFiles` 0 means never; `interrupted` is set by the signal handler.
  ConsoleHost(CrawlState& state, bool trace, long stopAfterFiles,
              const std::atomic<int>& interrupted);

  void AddLine(const std::string& text) override;
  void YieldEvents() override;

 private:
  CrawlState& state_;
  long stopAfterFiles_;
  long filesStarted_ = 0;
  const std::atomic<int>& interrupted_;
};

}  // namespace kestrelin
