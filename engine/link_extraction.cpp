#include "engine/link_extraction.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/relative_link.h"
#include "engine/remote_size.h"
#include "engine/robots_rules.h"
#include "engine/url_decoding.h"
#include "engine/url_scheme.h"

namespace kestrelin {
namespace {

constexpr std::array<std::string_view, 7> kPageTypes = {"html", "htm",   "php", "shtml",
                                                        "asp",  "phtml", "shtm"};

// The attribute names whose values are links, in the order they are tried.
constexpr std::array<std::string_view, 3> kTokens = {"href=", "src=", "value="};

constexpr std::size_t npos = std::string_view::npos;

// ASCII letters only: the tokens compared against are ASCII, and no other
// byte lowers to an ASCII letter in any locale the program runs under.
char LowerByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `text` spells `name` (lower case), ignoring letter case.
bool SpellsIgnoringCase(std::string_view text, std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (LowerByte(text[i]) != name[i]) return false;
  }
  return true;
}

bool EndsWithAny(std::string_view text, const std::vector<std::string>& types) {
  for (const auto& type : types) {
    if (text.ends_with(type)) return true;
  }
  return false;
}

// Finds the values of the link attributes one after another. The cursor only
// moves forward, so a whole page costs one walk over its text.
class ValueScanner {
 public:
  explicit ValueScanner(std::string_view text) : text_(text) {}

  // The next value, or false when the scan is over: no token is left, or
  // the value after the last token is not terminated within the text.
  bool Next(std::string_view& value) {
    const std::size_t tokenAt = NextTokenPosition();
    if (tokenAt == npos) return false;
    const std::size_t valueAt = tokenAt + tokenLength_;
    if (valueAt >= text_.size()) return false;

    if (text_[valueAt] == '"') {
      const std::size_t closingQuote = text_.find('"', valueAt + 1);
      if (closingQuote == npos) return false;
      value = text_.substr(valueAt + 1, closingQuote - valueAt - 1);
      cursor_ = closingQuote + 1;
      return true;
    }

    // An unquoted value ends at a blank that comes before the first ">",
    // otherwise at that ">"; without a ">" it has no end.
    const std::size_t greater = text_.find('>', valueAt);
    if (greater == npos) return false;
    const std::size_t blank = text_.find(' ', valueAt);
    const std::size_t terminator = (blank != npos && blank < greater) ? blank : greater;
    value = text_.substr(valueAt, terminator - valueAt);
    // The character right after the terminator is skipped as well.
    cursor_ = std::min(text_.size(), terminator + 2);
    return true;
  }

  // Where the text after the last value read begins.
  std::size_t Cursor() const { return cursor_; }

 private:
  // Where the first token that begins at or after the cursor begins. Every
  // token ends with its only "=", so the walk stops at each "=" and looks at
  // the letters before it; a token cannot span another one's "=", so the
  // token that ends first also begins first.
  std::size_t NextTokenPosition() {
    for (std::size_t equals = text_.find('=', cursor_); equals != npos;
         equals = text_.find('=', equals + 1)) {
      for (const std::string_view token : kTokens) {
        const std::size_t nameLength = token.size() - 1;
        if (equals < cursor_ + nameLength) continue;  // it would begin before the cursor
        const std::size_t at = equals - nameLength;
        if (SpellsIgnoringCase(text_.substr(at, token.size()), token)) {
          tokenLength_ = token.size();
          return at;
        }
      }
    }
    return npos;
  }

  std::string_view text_;
  std::size_t cursor_ = 0;
  std::size_t tokenLength_ = 0;
};

// Cuts the value at the first "#", then "?", then "=".
std::string_view TrimValue(std::string_view value) {
  for (char mark : {'#', '?', '='}) {
    const std::size_t at = value.find(mark);
    if (at != npos) value = value.substr(0, at);
  }
  return value;
}

// The tests on the value as written in the page, before it is made absolute.
bool PassesValueTests(const FileTypeLists& types, std::string_view value, int NoDownload,
                      int OnlyDownload) {
  bool accept = true;
  if (NoDownload == 1 && EndsWithAny(value, types.IgnoredTypes())) accept = false;
  if (value.ends_with("asp") || value.ends_with("cgi")) accept = false;
  // The exclusive list alone decides, whatever the two tests above said.
  if (OnlyDownload == 1) accept = EndsWithAny(value, types.ExclusiveTypes());
  if (!value.empty() && value.back() == '/') accept = false;
  if (value.empty()) accept = false;
  // "mailto:", "javascript:", "file:" and every other scheme but the web's
  // name nothing to fetch.
  const std::string_view scheme = LeadingScheme(value);
  if (!scheme.empty() && !IsWebScheme(scheme)) accept = false;
  return accept;
}

std::string RemoveEvery(std::string_view text, std::string_view part) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t hit = text.find(part); hit != npos; hit = text.find(part, start)) {
    result.append(text.substr(start, hit - start));
    start = hit + part.size();
  }
  result.append(text.substr(start));
  return result;
}

// True when no "/" follows the scheme separator. Without "://" the "/" is
// looked for from the 8th character on.
bool LacksPathSlash(std::string_view url) {
  const std::size_t separator = url.find("://");
  const std::size_t from = separator != npos ? separator + 3 : 7;
  return from >= url.size() || url.find('/', from) == npos;
}

std::string MakeAbsolute(std::string_view value, const CrawlState& state,
                         const std::string& pageFolder) {
  std::string link;
  if (IsWebScheme(LeadingScheme(value))) {
    link = WithLowerCaseScheme(value);
  } else if (value.starts_with("//")) {
    // Protocol-relative: the page's own scheme.
    const std::string_view pageScheme = LeadingScheme(pageFolder);
    link = std::string(pageScheme.empty() ? "http" : pageScheme) + ":" + std::string(value);
  } else {
    link = value;
    bool joined = false;
    if (link.starts_with("/")) {
      link = state.SiteRoot + link.substr(1);
      joined = true;
    }
    if (link.starts_with("./")) {
      link = pageFolder + RemoveEvery(link, "./");
      joined = true;
    }
    if (link.starts_with("../")) {
      link = ResolveRelativeLink(link, pageFolder);
      joined = true;
    }
    if (!joined) link = pageFolder + link;
  }
  if (link.starts_with("http") && LacksPathSlash(link)) link += '/';
  return link;
}

// The tests on the absolute link: scope, robots rules, size and the dot.
bool PassesLinkTests(CrawlContext& ctx, const std::string& link, const std::string& pageFolder,
                     bool accept, int LimitSize, std::int64_t SizeLimit, int NoGoUp,
                     int FollowExternal, int DownloadUnknown) {
  CrawlState& state = ctx.State;
  if (FollowExternal == 0) {
    const std::string& prefix = NoGoUp != 0 ? pageFolder : state.SiteRoot;
    if (!link.starts_with(prefix)) accept = false;
  }
  if (IsRefusedByRobots(state, link)) accept = false;
  // Pages are never measured, nor links an earlier test has dropped.
  if (LimitSize == 1 && accept && !IsPageExtension(link)) {
    state.RemoteSize = GetRemoteSize(ctx, link);
    if (state.RemoteSize > SizeLimit) accept = false;
    // A size that cannot be known may be over the limit too.
    if (!IsKnownLength(state.ContentLength) && DownloadUnknown != 1) accept = false;
  }
  if (!HasDot(link)) accept = false;
  return accept;
}

// The folder part (up to and including the last "/") decoded, the file
// name kept as it is. Control bytes that decoding gives back stay escaped:
// a raw line break in a link would end a line of the log or of fail.txt.
std::string DecodeFolderPart(const std::string& link) {
  const std::size_t lastSlash = link.rfind('/');
  if (lastSlash == std::string::npos) return link;
  // Most links have nothing to decode or escape: they stay as they are.
  const auto untouched = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c != '%' && c != '+' && byte >= 0x20 && byte != 0x7f;
  };
  if (std::all_of(link.begin(), link.begin() + lastSlash + 1, untouched)) return link;
  std::string decoded;
  decoded.reserve(link.size());
  for (const char c : DecodeUrlText(std::string_view(link).substr(0, lastSlash + 1))) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      AppendPercentEscape(decoded, byte);
    } else {
      decoded += c;
    }
  }
  decoded.append(link, lastSlash + 1, std::string::npos);
  return decoded;
}

// The value without tab, line feed and carriage return, which browsers
// drop from a link before reading it.
std::string_view WithoutTabsAndLineBreaks(std::string_view value, std::string& buffer) {
  if (value.find_first_of("\t\n\r") == npos) return value;
  buffer.clear();
  for (const char c : value) {
    if (c != '\t' && c != '\n' && c != '\r') buffer += c;
  }
  return buffer;
}

void AppendFileLink(CrawlContext& ctx, std::string link) {
  CrawlState& state = ctx.State;
  state.FileLinks.resize(static_cast<std::size_t>(state.FileCount) + 1);
  state.FileLinks[static_cast<std::size_t>(state.FileCount)] = std::move(link);
  ++state.FileCount;
  ctx.Host.LinkAppended(state.FileLinks.back());
}

// Calls `onLink` with every link of `text` that passes the tests (absolute,
// not yet decoded), in page order; returns where the text after the last
// value read begins.
template <typename OnLink>
std::size_t ForEachAcceptedLink(CrawlContext& ctx, const std::string& pageFolder,
                                std::string_view text, int NoDownload,
                                int OnlyDownload, int LimitSize, std::int64_t SizeLimit,
                                int NoGoUp, int FollowExternal, int DownloadUnknown,
                                OnLink&& onLink) {
  ValueScanner scanner(text);
  std::string_view rawValue;
  std::string cleaned;
  while (scanner.Next(rawValue)) {
    const std::string_view value = TrimValue(WithoutTabsAndLineBreaks(rawValue, cleaned));
    const bool valueAccepted = PassesValueTests(ctx.Types, value, NoDownload, OnlyDownload);
    const std::string link = MakeAbsolute(value, ctx.State, pageFolder);
    if (PassesLinkTests(ctx, link, pageFolder, valueAccepted, LimitSize, SizeLimit, NoGoUp, FollowExternal,
                        DownloadUnknown)) {
      onLink(link);
    }
  }
  return scanner.Cursor();
}

}  // namespace

bool IsPageExtension(std::string_view link) {
  for (std::string_view type : kPageTypes) {
    if (link.ends_with(type)) return true;
  }
  return false;
}

bool HasDot(std::string_view text) { return text.find('.') != npos; }

void ExtractLinks(CrawlContext& ctx, std::string& PageText, int NoDownload, int OnlyDownload,
                  int LimitSize, std::int64_t SizeLimit, int NoGoUp, int FollowExternal,
                  int DownloadUnknown) {
  const std::size_t cursor =
      ForEachAcceptedLink(ctx, ctx.State.PageFolder, PageText, NoDownload, OnlyDownload, LimitSize,
                          SizeLimit, NoGoUp,
                          FollowExternal, DownloadUnknown,
                          [&](const std::string& link) { AppendFileLink(ctx, DecodeFolderPart(link)); });
  PageText.erase(0, cursor);
}

LinksPreview PreviewLinks(CrawlContext& ctx, const std::string& pageFolder,
                          std::string_view PageText, int NoDownload,
                          int OnlyDownload, int NoGoUp, int FollowExternal) {
  LinksPreview preview;
  preview.RestAt = ForEachAcceptedLink(
      ctx, pageFolder, PageText, NoDownload, OnlyDownload, 0, 0, NoGoUp, FollowExternal, 1,
      [&](const std::string& link) { preview.Links.push_back(DecodeFolderPart(link)); });
  return preview;
}

void AppendPreviewedLinks(CrawlContext& ctx, std::vector<std::string> links) {
  for (std::string& link : links) AppendFileLink(ctx, std::move(link));
}

void AppendNeededLinks(CrawlContext& ctx, const std::vector<std::string>& links, int NoDownload,
                       int OnlyDownload, int LimitSize, std::int64_t SizeLimit, int NoGoUp,
                       int FollowExternal, int DownloadUnknown) {
  for (const std::string& absolute : links) {
    if (!absolute.starts_with("http://") && !absolute.starts_with("https://")) continue;
    std::string link = absolute.substr(0, absolute.find_first_of("#?"));
    const bool folder = link.ends_with('/');
    const bool valueAccepted =
        PassesValueTests(ctx.Types, folder ? link + "index.html" : link, NoDownload, OnlyDownload);
    if (LacksPathSlash(link)) link += '/';
    if (PassesLinkTests(ctx, link, ctx.State.PageFolder, valueAccepted, LimitSize, SizeLimit,
                        NoGoUp, FollowExternal,
                        DownloadUnknown)) {
      AppendFileLink(ctx, DecodeFolderPart(link));
    }
  }
}

std::vector<std::string> PreviewSizeQueries(CrawlContext& ctx, const std::string& pageFolder,
                                            std::string_view PageText,
                                            int NoDownload, int OnlyDownload, int NoGoUp,
                                            int FollowExternal) {
  std::vector<std::string> links;
  ForEachAcceptedLink(ctx, pageFolder, PageText, NoDownload, OnlyDownload, 0, 0, NoGoUp,
                      FollowExternal, 1,
                      [&](const std::string& link) {
                        if (!IsPageExtension(link)) links.push_back(link);
                      });
  return links;
}

}  // namespace kestrelin
