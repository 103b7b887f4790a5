// Link extraction over arbitrary page text with every option combination:
// it must return, never read past the text, and keep only links that pass
// the scope it was given.
#include <cstdlib>

#include "engine/link_extraction.h"
#include "engine/text_lines.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kestrelin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::FuzzContext f;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::uint8_t flags = fuzz::TakeByte(input);

  CrawlState& st = f.State;
  st.FileLinks = {"http://example.com/d/index.html"};
  st.FileCount = 1;
  st.SiteRoot = "http://example.com/";
  st.PageFolder = "http://example.com/d/";
  st.WebDomain = "http://www.example.com/";
  st.RobotsFound = (flags & 0x40) ? kTrue : kFalse;
  st.RobotRules = {"http://example.com/private"};
  st.RobotCount = 1;

  const int noGoUp = (flags & 0x01) ? 1 : 0;
  const int followExternal = (flags & 0x02) ? 1 : 0;
  const int noDownload = (flags & 0x04) ? 1 : 0;
  const int onlyDownload = (flags & 0x08) ? 1 : 0;
  const int limitSize = (flags & 0x10) ? 1 : 0;

  std::string page(input);
  ExtractLinks(f.Ctx, page, noDownload, onlyDownload, limitSize, 100, noGoUp, followExternal);

  if (static_cast<long>(st.FileLinks.size()) < st.FileCount) std::abort();
  for (long i = 1; i < st.FileCount; ++i) {
    const std::string& link = st.FileLinks[i];
    if (link.empty()) std::abort();
    if (followExternal == 0 && noGoUp == 1 && !StartsWith(link, st.PageFolder)) std::abort();
  }
  return 0;
}
