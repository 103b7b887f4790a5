// robots.txt of any content: the reader returns, every rule it keeps is a
// root followed by part of a line of the file, and the outcome stays on the
// one line the driver added.
#include <cstdlib>

#include "engine/robots_rules.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kestrelin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::FuzzContext f;
  const std::string body(reinterpret_cast<const char*>(data), size);
  if (!f.Files.WriteFile(fuzz::ScratchFolder() + "/body", body)) return 0;

  f.State.RobotRules.clear();
  f.State.RobotCount = 0;
  f.State.RobotsFound = kFalse;
  f.Host.ClearLog();
  f.Host.AddLine("Searching for \"robots.txt\"...");
  LoadRobotsRules(f.Ctx, "http://www.example.com/", "http://example.com/",
                  "http://example.com/d/");
  if (f.Host.LineCount() != 1) std::abort();
  if (static_cast<long>(f.State.RobotRules.size()) < f.State.RobotCount) std::abort();
  for (const auto& rule : f.State.RobotRules) {
    if (!rule.starts_with("http://") || rule.size() > body.size() + 64) std::abort();
  }
  return 0;
}
