#include "platform/response_headers.h"

#include <cctype>

namespace kestrelin {
namespace {

std::string_view Trimmed(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() &&
         (value.back() == '\r' || value.back() == '\n' || value.back() == ' ' || value.back() == '\t')) {
    value.remove_suffix(1);
  }
  return value;
}

// True when `line` is the field `lowerName`; `value` then gets its text.
bool FieldValue(std::string_view line, std::string_view lowerName, std::string& value) {
  if (line.size() <= lowerName.size() || line[lowerName.size()] != ':') return false;
  for (std::size_t i = 0; i < lowerName.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != lowerName[i]) return false;
  }
  value = std::string(Trimmed(line.substr(lowerName.size() + 1)));
  return true;
}

}  // namespace

void ResponseHeaders::Take(std::string_view line) {
  if (line.starts_with("HTTP/")) {
    *this = ResponseHeaders{};
    HaveStatusLine = true;
    const std::size_t blank = line.find(' ');
    for (std::size_t i = blank + 1; blank != std::string_view::npos && i < line.size() &&
                                    line[i] >= '0' && line[i] <= '9' && Status < 1000;
         ++i) {
      Status = Status * 10 + (line[i] - '0');
    }
    return;
  }
  if (Trimmed(line).empty()) {
    Complete = HaveStatusLine;
    return;
  }
  std::string value;
  if (FieldValue(line, "content-length", value)) ContentLength = value;
  else if (FieldValue(line, "etag", value)) Version.ETag = value;
  else if (FieldValue(line, "last-modified", value)) Version.LastModified = value;
  else if (FieldValue(line, "content-type", value)) ContentType = value;
  else if (FieldValue(line, "location", value)) Location = value;
  else if (FieldValue(line, "content-encoding", value)) Encoded = !value.empty() && value != "identity";
}

}  // namespace kestrelin
