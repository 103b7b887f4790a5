#include "tools/console_host.h"

#include <cstdio>

#include "engine/text_lines.h"

namespace kestrelin {
namespace {

void WriteErr(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace

ConsoleHost::ConsoleHost(CrawlState& state, bool trace, long stopAfterFiles,
                         const std::atomic<int>& interrupted)
    : state_(state), stopAfterFiles_(stopAfterFiles), interrupted_(interrupted) {
  KeepTrace = false;
  if (trace) {
    OnTrace = WriteErr;
  } else {
    // Plain progress: the text of each line as it is added or changed.
    OnTrace = [](const std::string& event) {
      const auto tab = event.find('\t');
      const std::string_view kind = std::string_view(event).substr(0, tab);
      if (kind == "ADD") {
        const auto end = event.find('\t', tab + 1);
        WriteErr(event.substr(tab + 1, end - tab - 1));
      } else if (kind == "TEXT") {
        WriteErr(event.substr(event.find('\t', tab + 1) + 1));
      }
    };
  }
}

void ConsoleHost::AddLine(const std::string& text) {
  RecordingHost::AddLine(text);
  if (StartsWith(text, "Downloading ")) ++filesStarted_;
}

void ConsoleHost::YieldEvents() {
  RecordingHost::YieldEvents();
  if (interrupted_.load() != 0) state_.StopDownload = kTrue;
  if (stopAfterFiles_ > 0 && filesStarted_ >= stopAfterFiles_) state_.StopDownload = kTrue;
}

}  // namespace kestrelin
