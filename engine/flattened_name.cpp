#include "engine/flattened_name.h"

#include "engine/safe_names.h"
#include "engine/text_lines.h"
#include "engine/url_helpers.h"

namespace kestrelin {

std::string RelativeName(std::string_view link, std::string_view SiteRoot) {
  std::string relative(link.substr(UrlSiteRoot(link).size()));
  if (!StartsWith(link, SiteRoot)) {
    const auto lastSlash = link.rfind('/');
    relative = "external/" + std::string(link.substr(lastSlash == std::string_view::npos
                                                         ? 0
                                                         : lastSlash + 1));
  }
  if (relative.empty() || relative.back() == '/') relative += "index.html";
  return relative;
}

std::string NamedAddress(const std::string& link, const std::string& finalUrl) {
  const bool toFolder = finalUrl.size() == link.size() + 1 && finalUrl.back() == '/' &&
                        finalUrl.starts_with(link);
  return toFolder ? finalUrl : link;
}

std::string FlattenedName(std::string_view link, std::string_view SiteRoot) {
  return WorkingFileName(RelativeName(link, SiteRoot));
}

}  // namespace kestrelin
