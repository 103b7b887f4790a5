// Settings files of any content: reading never fails hard, every value read
// is in range for its line, and writing what was read and reading it again
// gives the same values (as complete or as short as before).
#include <cstdlib>
#include <string>

#include "ui/settings_file.h"

using namespace kestrelin;

namespace {

bool SameValues(const SettingsRead& a, const SettingsRead& b) {
  if (a.Complete != b.Complete || a.Values.size() != b.Values.size()) return false;
  for (std::size_t n = 0; n < a.Values.size(); ++n) {
    if (a.Values[n].Text != b.Values[n].Text || a.Values[n].Number != b.Values[n].Number)
      return false;
  }
  return true;
}

void CheckRanges(const SettingsRead& read) {
  const auto& layout = SettingsLayout();
  if (read.Values.size() > layout.size()) std::abort();
  if (read.Complete != (read.Values.size() == layout.size())) std::abort();
  for (std::size_t n = 0; n < read.Values.size(); ++n) {
    const int number = read.Values[n].Number;
    switch (layout[n].Kind) {
      case SettingKind::CheckState: if (number < 0 || number > 2) std::abort(); break;
      case SettingKind::UnitIndex: if (number < -1 || number > 1) std::abort(); break;
      default:
        if (read.Values[n].Text.find('\r') != std::string::npos) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const SettingsRead read = ParseSettings(text);
  CheckRanges(read);
  const std::string written = FormatSettings(read.Values);
  if (!SameValues(ParseSettings(written), read)) std::abort();
  if (read.Complete && FormatSettings(ParseSettings(written).Values) != written) std::abort();
  return 0;
}
