#include "engine/web_domain.h"

#include <optional>
#include <string_view>

namespace kestrelin {
namespace {

constexpr std::string_view kFailure = "Could not detect actual web domain.";

// The host part of a site root: between "://" and the closing "/". An
// http:// root is read by position (seven characters of scheme); a root of
// any other scheme by its "://", so https sites keep their own scheme.
std::optional<std::pair<std::string, std::string>> SchemeAndHost(const std::string& root) {
  if (root.empty()) return std::nullopt;
  std::string_view s(root);
  s.remove_suffix(1);
  if (s.starts_with("http://") || s.find("://") == std::string_view::npos) {
    if (s.size() < 7) return std::nullopt;
    return std::make_pair(std::string("http://"), std::string(s.substr(7)));
  }
  const auto schemeEnd = s.find("://") + 3;
  return std::make_pair(std::string(s.substr(0, schemeEnd)), std::string(s.substr(schemeEnd)));
}

// Moves the last dot-separated label of `s` to the front of `domain` and
// drops it (with its dot) from `s`; false when `s` has no dot left to cut at.
bool TakeLabel(std::string& s, std::string& domain, bool needDot) {
  const auto dot = s.rfind('.');
  const std::string label = dot == std::string::npos ? s : s.substr(dot + 1);
  domain = domain.empty() ? label : label + "." + domain;
  if (dot == std::string::npos) {
    if (needDot) return false;
    s.clear();
    return true;
  }
  s.erase(dot);
  return true;
}

std::optional<std::string> Domain(std::string host) {
  std::string domain;
  // The last label must end at a dot; the second may be the whole rest.
  if (!TakeLabel(host, domain, true)) return std::nullopt;
  const bool secondHadDot = host.rfind('.') != std::string::npos;
  TakeLabel(host, domain, false);
  if (domain.size() == 5) {
    if (!secondHadDot) return std::nullopt;
    TakeLabel(host, domain, false);
  }
  return domain;
}

}  // namespace

std::string DetectWebDomain(CrawlHost& host, const std::string& root) {
  const auto parts = SchemeAndHost(root);
  const auto domain = parts ? Domain(parts->second) : std::nullopt;
  if (!domain) {
    host.AddLine(std::string(kFailure));
    host.SetLineRed(host.LineCount());
    return {};
  }
  return parts->first + "www." + *domain + "/";
}

}  // namespace kestrelin
