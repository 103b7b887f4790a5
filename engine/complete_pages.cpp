#include "engine/complete_pages.h"

#include <vector>

#include "engine/css_references.h"
#include "engine/flattened_name.h"
#include "engine/link_extraction.h"
#include "engine/page_references.h"
#include "engine/text_lines.h"
#include "engine/url_resolution.h"

namespace kestrelin {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsHtmlType(const std::string& contentType) {
  const std::string type = Lower(contentType);
  return type.starts_with("text/html") || type.starts_with("application/xhtml+xml");
}

bool IsCssType(const std::string& contentType) {
  return Lower(contentType).starts_with("text/css");
}

bool AnyOptionOn(const CrawlOptions& options) {
  return options.CompletePages == 1 || options.OfflineLinks == 1;
}

}  // namespace

std::string CopyWorkingName(CrawlContext& ctx, const std::string& link,
                            const CrawlOptions& options) {
  const std::string& root = ctx.State.SiteRoot;
  const CopyFacts facts = ctx.Cache.FactsOf(link);
  std::string name = FlattenedName(NamedAddress(link, facts.FinalUrl), root);
  if (options.CompletePages == 1 && IsHtmlType(facts.ContentType) && !IsPageExtension(name)) {
    name += ".html";
  }
  return name;
}

void NoteCopiedFile(CrawlContext& ctx, const std::string& link, const std::string& workingName,
                    const CrawlOptions& options) {
  if (!AnyOptionOn(options)) return;
  const CopyFacts facts = ctx.Cache.FactsOf(link);
  CopiedFile file;
  file.WorkingName = workingName;
  file.FinalUrl = facts.FinalUrl;
  const std::string path = link.substr(0, link.find_first_of("?#"));
  file.StyleSheet = path.ends_with(".css") || IsCssType(facts.ContentType);
  file.Page = !file.StyleSheet && (IsPageExtension(workingName) || IsHtmlType(facts.ContentType));
  ctx.State.CopiedFiles[link] = std::move(file);
}

bool ReadsAsNeeded(CrawlContext& ctx, const std::string& link, const CrawlOptions& options) {
  if (options.CompletePages != 1) return false;
  const CrawlState& st = ctx.State;
  const auto it = st.CopiedFiles.find(link);
  if (it == st.CopiedFiles.end()) return false;
  if (it->second.StyleSheet) return true;
  if (!it->second.Page || IsPageExtension(link) || options.RipPageOnly != 0) return false;
  if (options.FollowExternal != 1) return true;
  return StartsWith(link, options.NoGoUp != 0 ? st.PageFolder : st.SiteRoot);
}

bool IsNotedStyleSheet(const CrawlState& st, const std::string& url, const CrawlOptions& options) {
  if (options.CompletePages != 1) return false;
  const auto it = st.CopiedFiles.find(url);
  return it != st.CopiedFiles.end() && it->second.StyleSheet;
}

std::string PageAddress(CrawlContext& ctx, const std::string& url) {
  const std::string finalUrl = ctx.Cache.FactsOf(url).FinalUrl;
  return finalUrl.empty() ? url : finalUrl;
}

void AppendNeeds(CrawlContext& ctx, const std::string& url, const std::string& cacheFile,
                 bool styleSheet, const CrawlOptions& options) {
  if (options.CompletePages != 1) return;
  const auto text = ctx.FSO.ReadFile(cacheFile);
  if (!text) return;
  std::vector<std::string> written;
  if (styleSheet) {
    for (CssReference& ref : FindCssReferences(*text)) written.push_back(std::move(ref.Url));
  } else {
    written = PageNeeds(*text);
  }
  const std::string base = PageAddress(ctx, url);
  std::vector<std::string> links;
  for (const std::string& reference : written) {
    if (reference.find_first_not_of(" \t\r\n\f") == std::string::npos) continue;
    links.push_back(ResolveUrl(base, reference));
  }
  AppendNeededLinks(ctx, links, options.NoDownload, options.OnlyDownload, options.LimitSize,
                    options.SizeLimit, options.NoGoUp, options.FollowExternal,
                    options.DownloadUnknown);
}

}  // namespace kestrelin
