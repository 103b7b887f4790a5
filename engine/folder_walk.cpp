#include "engine/folder_walk.h"

#include <string_view>

#include "engine/safe_names.h"
#include "engine/text_lines.h"
#include "engine/url_decoding.h"

namespace kestrelin {

LevelStep StepOneLevel(const std::string& folder, const std::string& name, bool decode) {
  constexpr std::string_view kMarker = "%x%";
  const auto pos = name.find(kMarker);
  if (pos == std::string::npos) return {};
  if (EndsWith(name, kMarker)) return {LevelStep::Kind::Delete, {}, {}};
  std::string rest = name.substr(pos + kMarker.size());
  if (decode) rest = DecodeUrlText(rest);
  return {LevelStep::Kind::Move, JoinPath(folder, SafeName(name.substr(0, pos))), SafeName(rest)};
}

}  // namespace kestrelin
