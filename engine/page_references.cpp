#include "engine/page_references.h"

#include <array>

#include "engine/css_references.h"
#include "engine/html_attributes.h"
#include "engine/srcset.h"

namespace kestrelin {
namespace {

constexpr std::array<std::string_view, 5> kLinkAttributes = {"href", "src", "lowsrc",
                                                             "background", "action"};

bool IsLinkAttribute(const std::string& name) {
  for (std::string_view link : kLinkAttributes) {
    if (name == link) return true;
  }
  return false;
}

void AddCss(std::vector<PageReference>& out, std::string_view html, std::size_t begin,
            std::size_t end) {
  for (CssReference& css : FindCssReferences(html.substr(begin, end - begin))) {
    out.push_back({PageReference::Kind::Needed, begin + css.Begin, begin + css.End,
                   std::move(css.Url), {}});
  }
}

void AddAttribute(std::vector<PageReference>& out, std::string_view html,
                  const HtmlAttribute& a) {
  const std::string_view value = html.substr(a.Begin, a.End - a.Begin);
  auto add = [&](PageReference::Kind kind, std::size_t begin, std::size_t end) {
    out.push_back({kind, begin, end, std::string(html.substr(begin, end - begin)), a.Name});
  };
  if (a.Name == "srcset" || a.Name == "imagesrcset") {
    for (const SrcsetCandidate& c : ParseSrcset(value)) {
      add(PageReference::Kind::Needed, a.Begin + c.Begin, a.Begin + c.End);
    }
  } else if (a.Name == "style") {
    AddCss(out, html, a.Begin, a.End);
  } else if (a.Name == "poster" || (a.Name == "data" && a.Tag == "object")) {
    add(PageReference::Kind::Needed, a.Begin, a.End);
  } else if (IsLinkAttribute(a.Name)) {
    add(PageReference::Kind::Link, a.Begin, a.End);
  }
}

bool NamesFolder(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  return !url.empty() && url.back() == '/';
}

}  // namespace

std::vector<PageReference> FindPageReferences(std::string_view html) {
  std::vector<PageReference> found;
  ReadHtmlTags(
      html, [&](const HtmlAttribute& a) { AddAttribute(found, html, a); },
      [&](std::size_t begin, std::size_t end) { AddCss(found, html, begin, end); });
  return found;
}

std::vector<std::string> PageNeeds(std::string_view html) {
  std::vector<std::string> needs;
  for (PageReference& ref : FindPageReferences(html)) {
    if (ref.What == PageReference::Kind::Needed ||
        (ref.Attribute == "href" && NamesFolder(ref.Url))) {
      needs.push_back(std::move(ref.Url));
    }
  }
  return needs;
}

}  // namespace kestrelin
