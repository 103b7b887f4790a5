#include "engine/offline_links.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/css_references.h"
#include "engine/page_references.h"
#include "engine/url_decoding.h"
#include "engine/url_resolution.h"

namespace kestrelin {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// Bytes that would end or confuse an address in an attribute, a CSS string
// or an unquoted url().
bool NeedsEscape(unsigned char c) {
  return c <= 0x20 || c == 0x7F || c == '"' || c == '\'' || c == '(' || c == ')' || c == '\\' ||
         c == '<' || c == '>';
}

std::string Escape(std::string_view text, bool alsoUrlMarks) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c) || (alsoUrlMarks && (c == '%' || c == '#' || c == '?'))) {
      AppendPercentEscape(out, c);
    } else {
      out += ch;
    }
  }
  return out;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t at = 0;
  for (std::size_t slash = path.find('/'); slash != npos; slash = path.find('/', at)) {
    parts.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  parts.push_back(path.substr(at));
  return parts;
}

// Whether a reference is written as a full web address ("https://...").
bool WrittenAbsolute(std::string_view url) {
  for (std::string_view scheme : {"http://", "https://"}) {
    if (url.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), url.begin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
      return true;
    }
  }
  return false;
}

struct Replacement {
  std::size_t Begin, End;
  std::string Text;
};

// What one reference becomes; false when it stays as written.
bool Rewrite(std::string_view url, std::string_view baseUrl, std::string_view ownPath,
             const CopyPaths& copied, std::string& out) {
  // A reference holding control bytes other than blanks is no address a
  // browser would load as written; rewriting it could also move where the
  // next reference of a srcset begins. It stays as written.
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || byte == 0x7F) {
      return false;
    }
  }
  const std::size_t first = url.find_first_not_of(" \t\r\n\f");
  if (first == npos || url[first] == '#') return false;
  const std::string absolute = ResolveUrl(baseUrl, url);
  const std::string scheme = SchemeOf(absolute);
  if (scheme != "http" && scheme != "https") return false;
  std::string key = CopyKey(absolute);
  for (std::size_t amp = key.find("&amp;"); amp != npos; amp = key.find("&amp;", amp + 1)) {
    key.erase(amp + 1, 4);
  }
  const auto it = copied.find(key);
  if (it == copied.end()) {
    // A full address already reaches the same place from disk; written
    // again it could change ("(" escaped, "/" added), so it stays as is.
    if (WrittenAbsolute(url.substr(first))) return false;
    out = Escape(absolute, false);
    return true;
  }
  out = RelativeCopyPath(ownPath, it->second);
  const std::size_t hash = absolute.find('#');
  if (hash != npos) out += Escape(std::string_view(absolute).substr(hash), false);
  return true;
}

std::string Apply(std::string_view text, std::vector<Replacement>& replacements) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (const Replacement& r : replacements) {
    if (r.Begin < at) continue;  // overlapping ranges never come from one reading
    out.append(text.substr(at, r.Begin - at));
    out += r.Text;
    at = r.End;
  }
  out.append(text.substr(at));
  return out;
}

}  // namespace

std::string KeptLinkKey(std::string_view keptLink) {
  std::string key(keptLink);
  const std::size_t lastSlash = key.rfind('/');
  for (std::size_t at = key.find(' ', lastSlash == npos ? 0 : lastSlash); at != npos;
       at = key.find(' ', at)) {
    key.replace(at, 1, "%20");
  }
  return key;
}

std::string CopyKey(std::string_view absoluteUrl) {
  std::string url(absoluteUrl.substr(0, absoluteUrl.find('#')));
  url.erase(std::min(url.size(), url.find('?')));
  const std::size_t separator = url.find("://");
  if (separator != npos && url.find('/', separator + 3) == npos) url += '/';
  const std::size_t lastSlash = url.rfind('/');
  if (lastSlash == npos) return KeptLinkKey(url);
  return KeptLinkKey(DecodeUrlText(std::string_view(url).substr(0, lastSlash + 1)) +
                     url.substr(lastSlash + 1));
}

std::string RelativeCopyPath(std::string_view from, std::string_view to) {
  const auto fromParts = SplitPath(from);
  const auto toParts = SplitPath(to);
  std::size_t common = 0;
  while (common + 1 < fromParts.size() && common + 1 < toParts.size() &&
         fromParts[common] == toParts[common]) {
    ++common;
  }
  std::string out;
  for (std::size_t i = common; i + 1 < fromParts.size(); ++i) out += "../";
  for (std::size_t i = common; i < toParts.size(); ++i) {
    if (i > common) out += '/';
    out += Escape(toParts[i], true);
  }
  // A first name with ":" would read as a scheme.
  if (out.substr(0, out.find('/')).find(':') != npos) out = "./" + out;
  return out;
}

std::string RewriteLinks(std::string_view text, bool styleSheet, std::string_view baseUrl,
                         std::string_view ownPath, const CopyPaths& copied) {
  std::vector<Replacement> replacements;
  auto consider = [&](std::size_t begin, std::size_t end, std::string_view url) {
    std::string rewritten;
    if (Rewrite(url, baseUrl, ownPath, copied, rewritten) &&
        rewritten != text.substr(begin, end - begin)) {
      replacements.push_back({begin, end, std::move(rewritten)});
    }
  };
  if (styleSheet) {
    for (const CssReference& ref : FindCssReferences(text)) consider(ref.Begin, ref.End, ref.Url);
  } else {
    for (const PageReference& ref : FindPageReferences(text)) consider(ref.Begin, ref.End, ref.Url);
  }
  return Apply(text, replacements);
}

}  // namespace kestrelin
