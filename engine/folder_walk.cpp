#include "engine/folder_walk.h"

#include <string_view>

#include "engine/safe_names.h"
#include "engine/text_lines.h"
#include "engine/url_decoding.h"

namespace kestrelin {

namespace {

constexpr std::string_view kMarker = "%x%";

// Each part between markers decoded on its own, so that neither an escape
// next to a marker nor a "%x" that decoding gives back can make or unmake
// a folder level.
std::string DecodeBetweenMarkers(std::string_view rest) {
  std::string decoded;
  decoded.reserve(rest.size());
  for (std::size_t start = 0;;) {
    const std::size_t marker = rest.find(kMarker, start);
    decoded += EscapeMarkerLookalikes(DecodeUrlText(rest.substr(start, marker - start)));
    if (marker == std::string_view::npos) return decoded;
    decoded += kMarker;
    start = marker + kMarker.size();
  }
}

}  // namespace

LevelStep StepOneLevel(const std::string& folder, const std::string& name, bool decode) {
  const auto pos = name.find(kMarker);
  if (pos == std::string::npos) return {};
  if (EndsWith(name, kMarker)) return {LevelStep::Kind::Delete, {}, {}};
  std::string rest = name.substr(pos + kMarker.size());
  if (decode) rest = DecodeBetweenMarkers(rest);
  return {LevelStep::Kind::Move, JoinPath(folder, SafeName(name.substr(0, pos))), SafeName(rest)};
}

}  // namespace kestrelin
