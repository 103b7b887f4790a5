#include "ui/progress_key_targets.h"

#include "engine/text_lines.h"

namespace kestrelin {

std::string FileTargetOfKey(const std::string& key) {
  const auto blank = key.find(' ');
  return blank == std::string::npos ? key : key.substr(0, blank);
}

std::string PageTargetOfKey(const std::string& key) {
  const std::string text = ReplaceAll(key, ")", "");
  const auto open = text.find('(');
  return open == std::string::npos ? text : text.substr(open + 1);
}

std::string VersionCaption(int major, int minor, int revision) {
  return "Kestrelin v" + std::to_string(major) + "." + std::to_string(minor) +
         std::to_string(revision);
}

}  // namespace kestrelin
