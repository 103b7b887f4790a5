#include "engine/url_resolution.h"

#include <vector>

namespace kestrelin {
namespace {

constexpr std::size_t npos = std::string_view::npos;

struct Parts {
  std::string Scheme, Authority, Path, Query, Fragment;
  bool HasAuthority = false, HasQuery = false, HasFragment = false;
};

bool IsSchemeByte(char c, bool first) {
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return letter || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
}

Parts Split(std::string_view url) {
  Parts p;
  const std::size_t hash = url.find('#');
  if (hash != npos) {
    p.HasFragment = true;
    p.Fragment = url.substr(hash + 1);
    url = url.substr(0, hash);
  }
  const std::size_t question = url.find('?');
  if (question != npos) {
    p.HasQuery = true;
    p.Query = url.substr(question + 1);
    url = url.substr(0, question);
  }
  p.Scheme = SchemeOf(url);
  if (!p.Scheme.empty()) url = url.substr(p.Scheme.size() + 1);
  if (url.starts_with("//")) {
    p.HasAuthority = true;
    const std::size_t slash = url.find('/', 2);
    p.Authority = url.substr(2, slash == npos ? npos : slash - 2);
    url = slash == npos ? std::string_view() : url.substr(slash);
  }
  p.Path = url;
  return p;
}

std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  const bool absolute = path.starts_with('/');
  std::size_t at = absolute ? 1 : 0;
  bool endsAsFolder = false;
  while (at <= path.size()) {
    const std::size_t slash = path.find('/', at);
    const std::string_view segment = path.substr(at, slash == npos ? npos : slash - at);
    endsAsFolder = segment == "." || segment == "..";
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (segment != ".") {
      kept.push_back(segment);
    }
    if (slash == npos) break;
    at = slash + 1;
  }
  std::string out = absolute ? "/" : "";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i) out += '/';
    out.append(kept[i]);
  }
  if (endsAsFolder && !out.ends_with('/')) out += '/';
  return out;
}

std::string Join(const Parts& p) {
  std::string out = p.Scheme + ":";
  if (p.HasAuthority) out += "//" + p.Authority;
  out += p.Path;
  if (p.HasQuery) out += "?" + p.Query;
  if (p.HasFragment) out += "#" + p.Fragment;
  return out;
}

std::string Clean(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::string out;
  for (char c : text) {
    if (c != '\t' && c != '\n' && c != '\r') out += c == '\\' ? '/' : c;
  }
  return out;
}

}  // namespace

std::string SchemeOf(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == npos || colon == 0) return {};
  std::string scheme;
  for (std::size_t i = 0; i < colon; ++i) {
    if (!IsSchemeByte(url[i], i == 0)) return {};
    scheme += static_cast<char>(url[i] >= 'A' && url[i] <= 'Z' ? url[i] - 'A' + 'a' : url[i]);
  }
  return scheme;
}

std::string ResolveUrl(std::string_view base, std::string_view reference) {
  const std::string ref = Clean(reference);
  const Parts b = Split(base);
  if (b.Scheme.empty()) return {};
  Parts r = Split(ref);
  Parts t;
  if (!r.Scheme.empty() && !(r.Scheme == b.Scheme && !r.HasAuthority &&
                             (r.Scheme == "http" || r.Scheme == "https"))) {
    t = r;
    t.Path = RemoveDotSegments(r.Path);
    if (t.HasAuthority && t.Path.empty()) t.Path = "/";
    return Join(t);
  }
  t.Scheme = b.Scheme;
  if (r.HasAuthority) {
    t.HasAuthority = true;
    t.Authority = r.Authority;
    t.Path = RemoveDotSegments(r.Path);
    t.HasQuery = r.HasQuery;
    t.Query = r.Query;
  } else {
    t.HasAuthority = b.HasAuthority;
    t.Authority = b.Authority;
    if (r.Path.empty()) {
      t.Path = b.Path;
      t.HasQuery = r.HasQuery || b.HasQuery;
      t.Query = r.HasQuery ? r.Query : b.Query;
    } else {
      if (r.Path.starts_with('/')) {
        t.Path = RemoveDotSegments(r.Path);
      } else {
        // The base's folder; npos + 1 leaves nothing of a path without "/".
        const std::string merged =
            b.HasAuthority && b.Path.empty() ? "/" : b.Path.substr(0, b.Path.rfind('/') + 1);
        t.Path = RemoveDotSegments(merged + r.Path);
      }
      t.HasQuery = r.HasQuery;
      t.Query = r.Query;
    }
  }
  if (t.HasAuthority && t.Path.empty()) t.Path = "/";
  t.HasFragment = r.HasFragment;
  t.Fragment = r.Fragment;
  return Join(t);
}

}  // namespace kestrelin
