#pragma once
// What the progress list's pop-up commands open for a failed line's key
// (typically "file-address (page-address)").
#include <string>

namespace kestrelin {

// "Connect to file...": the key up to its first blank (the whole key when it
// has none).
std::string FileTargetOfKey(const std::string& key);

// "Open web page...": the key without any ")", then the text after its first
// "(" (the whole text when it has none).
std::string PageTargetOfKey(const std::string& key);

// "Kestrelin v" + major + "." + minor + revision, e.g. 1, 2, 6 -> "Kestrelin v1.26".
std::string VersionCaption(int major, int minor, int revision);

}  // namespace kestrelin
