#include "engine/url_helpers.h"

#include <algorithm>
#include <array>
#include <memory>

#include "engine/robots_rules.h"
#include "engine/text_lines.h"

namespace kestrelin {
namespace {

// Position just after "scheme://" when the text starts with a scheme made of
// letters, digits, "+", "-" or "."; npos otherwise.
std::size_t AfterSchemeSeparator(std::string_view url) {
  const auto sep = url.find("://");
  if (sep == std::string_view::npos || sep == 0) return std::string_view::npos;
  for (std::size_t i = 0; i < sep; ++i) {
    const char c = url[i];
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '+' || c == '-' || c == '.';
    if (!ok) return std::string_view::npos;
  }
  return sep + 3;
}

// The names are "src", "href", "value" and "=" alone; kMayEndAttributeName
// below holds their last bytes and changes with them.
bool EndsWithAttributeName(std::string_view text) {
  if (text.empty()) return false;
  switch (text.back()) {
    case '=': return true;
    case 'c': return text.ends_with("src");
    case 'f': return text.ends_with("href");
    case 'e': return text.ends_with("value");
    default: return false;
  }
}

// 1 for the last byte of each name EndsWithAttributeName knows: a blank
// after any other byte stays.
constexpr std::array<unsigned char, 256> kMayEndAttributeName = [] {
  std::array<unsigned char, 256> table{};
  for (const char c : {'=', 'c', 'f', 'e'}) table[static_cast<unsigned char>(c)] = 1;
  return table;
}();

// Each byte as the page text writes it: an apostrophe as a quote. A table,
// where a comparison compiled to a branch on every byte.
constexpr std::array<char, 256> kWrittenAs = [] {
  std::array<char, 256> table{};
  for (int byte = 0; byte < 256; ++byte) table[byte] = static_cast<char>(byte);
  table[static_cast<unsigned char>('\'')] = '"';
  return table;
}();

// NormalizePageText for a page without ".,.": apostrophes become quotes and
// the blanks after attribute names go, in one pass written through a
// pointer (this runs over every page the crawl reads). Most blanks follow
// no attribute name; only one after a byte that can end a name is looked
// at closer, so the loop's one branch is rarely taken and well guessed.
std::string NormalizeKeepingUnderscores(std::string_view pageText) {
  std::string text(pageText.size(), '\0');
  char* const start = text.data();
  char* out = start;
  unsigned char last = 0;  // the last byte written
  for (const char c : pageText) {
    const auto byte = static_cast<unsigned char>(c);
    // Both tests computed, then one branch: a branch on each blank alone
    // would be guessed wrong too often.
    const unsigned maybeFolded = static_cast<unsigned>(byte == ' ') & kMayEndAttributeName[last];
    if (maybeFolded != 0) [[unlikely]] {
      if (EndsWithAttributeName(std::string_view(start, static_cast<std::size_t>(out - start)))) {
        continue;
      }
    }
    *out++ = kWrittenAs[byte];
    last = static_cast<unsigned char>(kWrittenAs[byte]);
  }
  text.resize(static_cast<std::size_t>(out - start));
  return text;
}

// Removes every run of `filler` that follows "src", "href", "value" or "=".
// One pass gives what removing the runs after each of them in turn gives:
// a name stays where it is, so closing up a run never ends a new name just
// before another run.
std::string FoldAfterAttributeNames(std::string_view text, char filler) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == filler && EndsWithAttributeName(out)) continue;
    out += c;
  }
  return out;
}

}  // namespace

std::string UrlFolder(std::string_view url) {
  const auto last = url.rfind('/');
  if (last == std::string_view::npos) return {};
  return std::string(url.substr(0, last + 1));
}

std::string UrlSiteRoot(std::string_view url) {
  auto from = AfterSchemeSeparator(url);
  if (from == std::string_view::npos) from = 7;  // just after "http://"
  if (url.size() <= from) return std::string(url);
  const auto slash = url.find('/', from);
  if (slash == std::string_view::npos) return std::string(url);
  return std::string(url.substr(0, slash + 1));
}

std::string ToForwardSlashes(std::string_view text) { return ReplaceAll(text, "\\", "/"); }

std::string& NormalizeAttributes(std::string& pageText) {
  pageText = FoldAfterAttributeNames(pageText, '_');
  return pageText;
}

// In one pass: apostrophes become quotes, underscores are set aside as
// "-.,.-" and the blanks after attribute names are removed; the final
// replacement brings the underscores back, with any "-.,.-" the page had,
// as "_". With no underscore left, folding the blanks themselves is the same
// as turning them into underscores, folding those and turning them back.
//
// A "-.,.-" that is not an underscore's needs ".,." in the page itself, so a
// page without it keeps its underscores as they are and skips the second
// pass. The blanks fold the same either way: no byte of a placeholder or of
// an underscore occurs in an attribute name.
std::string NormalizePageText(std::string_view pageText) {
  if (pageText.find(".,.") == std::string_view::npos) return NormalizeKeepingUnderscores(pageText);
  const auto underscores = static_cast<std::size_t>(std::count(pageText.begin(), pageText.end(), '_'));
  std::string text(pageText.size() + 4 * underscores, '\0');
  char* const start = text.data();
  char* out = start;
  for (const char c : pageText) {
    switch (c) {
      case '\'': *out++ = '"'; break;
      case '_': out = std::copy_n("-.,.-", 5, out); break;
      case ' ':
        if (!EndsWithAttributeName(std::string_view(start, static_cast<std::size_t>(out - start)))) {
          *out++ = ' ';
        }
        break;
      default: *out++ = c;
    }
  }
  text.resize(static_cast<std::size_t>(out - start));
  return ReplaceAll(text, "-.,.-", "_");
}

CacheRules CrawlCacheRules(const CrawlState& state, const CrawlOptions& options) {
  CacheRules rules;
  const std::string scope = options.NoGoUp != 0 ? state.PageFolder : state.SiteRoot;
  const bool external = options.FollowExternal != 0;
  // The cache judges on its own thread, maybe after the crawl: it gets a
  // copy of the robots rules, never the crawl's state.
  auto robots = std::make_shared<CrawlState>();
  robots->RobotsFound = state.RobotsFound;
  robots->RobotRules = state.RobotRules;
  robots->RobotCount = state.RobotCount;
  rules.RedirectAllowed = [robots, scope, external](const std::string& target) {
    std::string asHttp = target;
    if (scope.starts_with("http://") && asHttp.starts_with("https://")) asHttp.erase(4, 1);
    if (!external && !target.starts_with(scope) && !asHttp.starts_with(scope)) return false;
    return !IsRefusedByRobots(*robots, target);
  };
  if (options.LimitSize == 1 && options.SizeLimit > 0) {
    rules.MaxBodyBytes = static_cast<std::uint64_t>(options.SizeLimit);
  }
  return rules;
}

}  // namespace kestrelin
