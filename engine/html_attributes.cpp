#include "engine/html_attributes.h"

#include "engine/ascii_text.h"

#include <array>

namespace kestrelin {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// Elements whose contents are text up to their own end tag.
constexpr std::array<std::string_view, 9> kRawText = {
    "script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes", "plaintext"};

bool IsRawText(const std::string& tag) {
  for (std::string_view raw : kRawText) {
    if (tag == raw) return true;
  }
  return false;
}

// Where "</tag" followed by a blank, "/" or ">" begins at or after `from`;
// the end of the text when there is none.
std::size_t FindEndTag(std::string_view html, const std::string& tag, std::size_t from) {
  for (std::size_t at = html.find("</", from); at != npos; at = html.find("</", at + 2)) {
    std::size_t i = 0;
    while (i < tag.size() && at + 2 + i < html.size() && AsciiLower(html[at + 2 + i]) == tag[i]) ++i;
    if (i < tag.size()) continue;
    const std::size_t after = at + 2 + i;
    if (after >= html.size() || IsHtmlBlank(html[after]) || html[after] == '/' || html[after] == '>') {
      return at;
    }
  }
  return html.size();
}

class TagReader {
 public:
  TagReader(std::string_view html, const std::function<void(const HtmlAttribute&)>& onAttribute,
            const std::function<void(std::size_t, std::size_t)>& onStyleBlock)
      : html_(html), onAttribute_(onAttribute), onStyleBlock_(onStyleBlock) {}

  void Run() {
    while (at_ < html_.size()) {
      const std::size_t open = html_.find('<', at_);
      if (open == npos) return;
      at_ = open + 1;
      if (html_.substr(open, 4) == "<!--") {
        const std::size_t close = html_.find("-->", open + 4);
        at_ = close == npos ? html_.size() : close + 3;
      } else if (Peek() == '!' || Peek() == '?' || (Peek() == '/' && IsAsciiLetter(Peek(1)))) {
        SkipPast('>');
      } else if (IsAsciiLetter(Peek())) {
        ReadTag();
      }
    }
  }

 private:
  char Peek(std::size_t ahead = 0) const {
    return at_ + ahead < html_.size() ? html_[at_ + ahead] : '\0';
  }
  void SkipPast(char c) {
    const std::size_t hit = html_.find(c, at_);
    at_ = hit == npos ? html_.size() : hit + 1;
  }
  void SkipBlanks() {
    while (at_ < html_.size() && IsHtmlBlank(html_[at_])) ++at_;
  }
  std::string ReadName(bool attribute) {
    std::string name;
    // An attribute name may begin with "=", as a tokenizer reads it.
    if (attribute && Peek() == '=') name += html_[at_++];
    while (at_ < html_.size()) {
      const char c = html_[at_];
      if (IsHtmlBlank(c) || c == '/' || c == '>' || (attribute && c == '=')) break;
      name += AsciiLower(c);
      ++at_;
    }
    return name;
  }

  void ReadTag() {
    HtmlAttribute attribute;
    attribute.Tag = ReadName(false);
    while (at_ < html_.size()) {
      SkipBlanks();
      if (Peek() == '/') {
        ++at_;
        continue;
      }
      if (Peek() == '>') {
        ++at_;
        break;
      }
      if (at_ >= html_.size()) return;
      attribute.Name = ReadName(true);
      SkipBlanks();
      if (Peek() != '=') continue;
      ++at_;
      SkipBlanks();
      if (Peek() == '"' || Peek() == '\'') {
        const char quote = html_[at_];
        attribute.Begin = at_ + 1;
        const std::size_t close = html_.find(quote, attribute.Begin);
        attribute.End = close == npos ? html_.size() : close;
        at_ = close == npos ? html_.size() : close + 1;
      } else {
        attribute.Begin = at_;
        while (at_ < html_.size() && !IsHtmlBlank(html_[at_]) && html_[at_] != '>') ++at_;
        attribute.End = at_;
      }
      onAttribute_(attribute);
    }
    if (!IsRawText(attribute.Tag)) return;
    const std::size_t end = FindEndTag(html_, attribute.Tag, at_);
    if (attribute.Tag == "style") onStyleBlock_(at_, end);
    at_ = end;
  }

  std::string_view html_;
  std::size_t at_ = 0;
  const std::function<void(const HtmlAttribute&)>& onAttribute_;
  const std::function<void(std::size_t, std::size_t)>& onStyleBlock_;
};

}  // namespace

void ReadHtmlTags(std::string_view html,
                  const std::function<void(const HtmlAttribute&)>& onAttribute,
                  const std::function<void(std::size_t begin, std::size_t end)>& onStyleBlock) {
  TagReader(html, onAttribute, onStyleBlock).Run();
}

}  // namespace kestrelin
