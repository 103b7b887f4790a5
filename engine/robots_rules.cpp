#include "engine/robots_rules.h"

#include <algorithm>
#include <vector>

#include "engine/crawl_waiting.h"
#include "engine/text_lines.h"
#include "engine/url_helpers.h"

namespace kestrelin {
namespace {

constexpr std::string_view kNotFound =
    "No \"robots.txt\" file found.  All files that can be found will be downloaded.";
constexpr std::string_view kDisallow = "Disallow: ";

void ShowOutcome(CrawlHost& host, std::string_view text) {
  host.SetLineText(host.LineCount(), std::string(text));
}

// The first line (after trimming spaces) that ends with "*" and does not
// begin with "#" opens the section for all robots.
bool OpensSection(const std::string& line) {
  const std::string_view trimmed = TrimSpaces(line);
  return !trimmed.empty() && trimmed.back() == '*' && trimmed.front() != '#';
}

// Appends R + the value (without its first character) of every
// "Disallow: " line of the first section for all robots. The section ends
// after an empty line or at the end of the file.
void ReadRules(CrawlState& st, const std::string& root, const std::vector<std::string>& lines) {
  std::size_t i = 0;
  while (i < lines.size() && !OpensSection(lines[i])) ++i;
  if (i == lines.size()) return;
  for (++i; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) break;
    if (StartsWith(line, kDisallow) && line.size() > kDisallow.size()) {
      st.RobotRules.push_back(root + line.substr(kDisallow.size() + 1));
      ++st.RobotCount;
    }
  }
}

}  // namespace

void LoadRobotsRules(CrawlContext& ctx, const std::string& WebDomain, const std::string& SiteRoot,
                     const std::string& PageFolder) {
  CrawlState& st = ctx.State;
  CrawlHost& host = ctx.Host;
  std::string root;
  std::string cachedFile;
  std::vector<const std::string*> tried;
  for (const std::string* candidate : {&PageFolder, &SiteRoot, &WebDomain}) {
    // A root asked for once (the start page in the site's top folder has
    // the same folder and root) is not asked again.
    const auto same = [&](const std::string* earlier) { return *earlier == *candidate; };
    if (std::any_of(tried.begin(), tried.end(), same)) continue;
    tried.push_back(candidate);
    cachedFile = DownloadToCache(ctx, *candidate + "robots.txt");
    if (!cachedFile.empty()) {
      root = *candidate;
      break;
    }
  }
  if (cachedFile.empty()) {
    ShowOutcome(host, kNotFound);
    YieldTwice(host);
    return;
  }
  st.RobotsFound = kTrue;
  const auto content = ctx.FSO.ReadFile(cachedFile);
  if (!content) {
    ShowOutcome(host, kNotFound);
    YieldTwice(host);
    return;
  }
  // Servers end robots.txt lines with LF as often as with CR LF; all three
  // endings end a line here, or the rules would silently not apply.
  ReadRules(st, root, SplitLinesAnyEnding(*content));
  ShowOutcome(host, root + "robots.txt found.  Some files may not be downloaded.");
}

bool IsRefusedByRobots(const CrawlState& state, std::string_view link) {
  if (state.RobotsFound != kTrue) return false;
  const std::size_t count = std::min<std::size_t>(state.RobotRules.size(),
                                                  static_cast<std::size_t>(state.RobotCount));
  for (std::size_t i = 0; i < count; ++i) {
    if (StartsWith(link, state.RobotRules[i])) return true;
  }
  return false;
}

}  // namespace kestrelin
