#pragma once
// ksoffline.cfg: the two options of the window's Offline tab, kept apart
// from ksgrab.cfg so that file keeps its fixed 15 lines. Lines "Name=value"
// (CompletePages, OfflineLinks; value 0 to 2), CR LF ends; unknown or bad
// lines are skipped, a missing file or line leaves the option off.
// Plain bytes, no Qt. Called by the main window on its thread.
#include <string>
#include <string_view>

namespace kestrelin {

struct OfflineSettings {
  int CompletePages = 0;
  int OfflineLinks = 0;
};

OfflineSettings ParseOfflineSettings(std::string_view fileText);
std::string FormatOfflineSettings(const OfflineSettings& settings);

}  // namespace kestrelin
