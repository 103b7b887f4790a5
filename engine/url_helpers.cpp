#include "engine/url_helpers.h"

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

// Removes every run of `filler` that follows `word`: the fixed point of
// replacing word + filler by word.
std::string FoldAfter(std::string_view text, std::string_view word, char filler) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == filler && out.size() >= word.size() && out.back() == word.back() &&
        std::string_view(out).substr(out.size() - word.size()) == word) {
      continue;
    }
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
  pageText = FoldAfter(pageText, "src", '_');
  pageText = FoldAfter(pageText, "href", '_');
  pageText = FoldAfter(pageText, "value", '_');
  pageText = FoldAfter(pageText, "=", '_');
  return pageText;
}

std::string NormalizePageText(std::string_view pageText) {
  std::string text = ReplaceAll(pageText, "'", "\"");
  text = ReplaceAll(text, "_", "-.,.-");
  text = ReplaceAll(text, " ", "_");
  NormalizeAttributes(text);
  text = ReplaceAll(text, "_", " ");
  return ReplaceAll(text, "-.,.-", "_");
}

std::string DownloadToCache(CrawlContext& ctx, const std::string& url) {
  return ctx.Cache.DownloadToCacheFile(url);
}

}  // namespace kestrelin
