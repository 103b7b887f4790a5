#include "engine/srcset.h"

namespace kestrelin {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

}  // namespace

std::vector<SrcsetCandidate> ParseSrcset(std::string_view value) {
  std::vector<SrcsetCandidate> candidates;
  std::size_t at = 0;
  const std::size_t size = value.size();
  while (at < size) {
    while (at < size && (IsBlank(value[at]) || value[at] == ',')) ++at;
    if (at >= size) break;
    SrcsetCandidate candidate;
    candidate.Begin = at;
    while (at < size && !IsBlank(value[at])) ++at;
    candidate.End = at;
    bool descriptors = true;
    while (candidate.End > candidate.Begin && value[candidate.End - 1] == ',') {
      --candidate.End;
      descriptors = false;
    }
    if (candidate.End > candidate.Begin) candidates.push_back(candidate);
    if (!descriptors) continue;
    int depth = 0;
    while (at < size && (value[at] != ',' || depth > 0)) {
      if (value[at] == '(') ++depth;
      if (value[at] == ')' && depth > 0) --depth;
      ++at;
    }
  }
  return candidates;
}

}  // namespace kestrelin
