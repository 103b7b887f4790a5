#include "engine/css_references.h"

#include "engine/ascii_text.h"

namespace kestrelin {
namespace {

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
void AppendUtf8(std::string& out, unsigned long cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class Scanner {
 public:
  explicit Scanner(std::string_view css) : css_(css) {}

  std::vector<CssReference> Run() {
    while (at_ < css_.size()) Step();
    return std::move(found_);
  }

 private:
  char Peek(std::size_t ahead = 0) const {
    return at_ + ahead < css_.size() ? css_[at_ + ahead] : '\0';
  }
  bool ValidEscapeAt(std::size_t pos) const {
    return pos + 1 < css_.size() && css_[pos] == '\\' && css_[pos + 1] != '\n' &&
           css_[pos + 1] != '\r' && css_[pos + 1] != '\f';
  }

  // Consumes the escape that starts at the backslash under the cursor and
  // appends what it stands for.
  void ConsumeEscape(std::string& out) {
    ++at_;  // the backslash
    if (at_ >= css_.size()) return;
    if (!IsHex(css_[at_])) {
      out += css_[at_++];
      return;
    }
    unsigned long cp = 0;
    for (int digits = 0; digits < 6 && at_ < css_.size() && IsHex(css_[at_]); ++digits, ++at_) {
      const char c = AsciiLower(css_[at_]);
      cp = cp * 16 + static_cast<unsigned long>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    if (at_ < css_.size() && IsHtmlBlank(css_[at_])) {
      if (css_[at_] == '\r' && Peek(1) == '\n') ++at_;
      ++at_;
    }
    AppendUtf8(out, cp);
  }

  // A string whose opening quote is under the cursor. Returns false for a
  // string cut by a line break (a bad string).
  bool ConsumeString(std::size_t& begin, std::size_t& end, std::string& value) {
    const char quote = css_[at_++];
    begin = at_;
    while (at_ < css_.size()) {
      const char c = css_[at_];
      if (c == quote) {
        end = at_++;
        return true;
      }
      if (c == '\n' || c == '\r' || c == '\f') {
        end = at_;
        return false;
      }
      if (c == '\\') {
        if (at_ + 1 >= css_.size()) {
          ++at_;
        } else if (css_[at_ + 1] == '\n' || css_[at_ + 1] == '\f') {
          at_ += 2;
        } else if (css_[at_ + 1] == '\r') {
          at_ += Peek(2) == '\n' ? 3 : 2;
        } else {
          ConsumeEscape(value);
        }
        continue;
      }
      value += c;
      ++at_;
    }
    end = at_;  // an unclosed string at the end still counts
    return true;
  }

  void SkipBlanks() {
    while (at_ < css_.size() && IsHtmlBlank(css_[at_])) ++at_;
  }

  // The rest of a bad url(): up to and past its ")", escapes skipped.
  void SkipBadUrl() {
    while (at_ < css_.size() && css_[at_] != ')') at_ += ValidEscapeAt(at_) ? 2 : 1;
    if (at_ < css_.size()) ++at_;
  }

  // After "url(": a quoted argument is a string inside a function; an
  // unquoted one is the url token itself.
  void ConsumeUrl(bool import) {
    SkipBlanks();
    CssReference ref;
    ref.Import = import;
    if (Peek() == '"' || Peek() == '\'') {
      if (ConsumeString(ref.Begin, ref.End, ref.Url)) found_.push_back(std::move(ref));
      return;  // the rest of the function is ordinary tokens
    }
    ref.Begin = at_;
    while (at_ < css_.size()) {
      const char c = css_[at_];
      if (c == ')') {
        ref.End = at_++;
        found_.push_back(std::move(ref));
        return;
      }
      if (IsHtmlBlank(c)) {
        ref.End = at_;
        SkipBlanks();
        if (Peek() == ')' || at_ >= css_.size()) {
          if (at_ < css_.size()) ++at_;
          found_.push_back(std::move(ref));
        } else {
          SkipBadUrl();
        }
        return;
      }
      if (c == '"' || c == '\'' || c == '(' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        SkipBadUrl();
        return;
      }
      if (c == '\\') {
        if (!ValidEscapeAt(at_)) {
          SkipBadUrl();
          return;
        }
        ConsumeEscape(ref.Url);
        continue;
      }
      ref.Url += c;
      ++at_;
    }
    ref.End = at_;  // an unclosed url() at the end still counts
    found_.push_back(std::move(ref));
  }

  // A name (with escapes) under the cursor; returns it decoded.
  std::string ConsumeName() {
    std::string name;
    while (at_ < css_.size()) {
      if (IsNameByte(css_[at_])) {
        name += css_[at_++];
      } else if (ValidEscapeAt(at_)) {
        ConsumeEscape(name);
      } else {
        break;
      }
    }
    return name;
  }

  void Step() {
    const char c = css_[at_];
    if (c == '/' && Peek(1) == '*') {
      const std::size_t close = css_.find("*/", at_ + 2);
      at_ = close == std::string_view::npos ? css_.size() : close + 2;
      return;
    }
    if (c == '"' || c == '\'') {
      CssReference ref;
      const bool closed = ConsumeString(ref.Begin, ref.End, ref.Url);
      if (closed && afterImport_) {
        ref.Import = true;
        found_.push_back(std::move(ref));
      }
      afterImport_ = false;
      return;
    }
    if (c == '@') {
      ++at_;
      afterImport_ = EqualsIgnoringAsciiCase(ConsumeName(), "import");
      return;
    }
    if (IsNameByte(c) || ValidEscapeAt(at_)) {
      const bool import = afterImport_;
      afterImport_ = false;
      const std::string name = ConsumeName();
      if (Peek() == '(' && EqualsIgnoringAsciiCase(name, "url")) {
        ++at_;
        ConsumeUrl(import);
      }
      return;
    }
    if (!IsHtmlBlank(c)) afterImport_ = false;
    ++at_;
  }

  std::string_view css_;
  std::size_t at_ = 0;
  bool afterImport_ = false;  // the last token was @import, blanks aside
  std::vector<CssReference> found_;
};

}  // namespace

std::vector<CssReference> FindCssReferences(std::string_view css) { return Scanner(css).Run(); }

}  // namespace kestrelin
