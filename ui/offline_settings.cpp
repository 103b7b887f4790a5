#include "ui/offline_settings.h"

namespace kestrelin {

OfflineSettings ParseOfflineSettings(std::string_view fileText) {
  OfflineSettings settings;
  std::size_t at = 0;
  while (at < fileText.size()) {
    std::size_t end = fileText.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = fileText.size();
    const std::string_view line = fileText.substr(at, end - at);
    at = end + 1;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || line.size() != equals + 2) continue;
    const char digit = line[equals + 1];
    if (digit < '0' || digit > '2') continue;
    const std::string_view name = line.substr(0, equals);
    if (name == "CompletePages") settings.CompletePages = digit - '0';
    if (name == "OfflineLinks") settings.OfflineLinks = digit - '0';
  }
  return settings;
}

std::string FormatOfflineSettings(const OfflineSettings& settings) {
  return "CompletePages=" + std::to_string(settings.CompletePages) + "\r\nOfflineLinks=" +
         std::to_string(settings.OfflineLinks) + "\r\n";
}

}  // namespace kestrelin
