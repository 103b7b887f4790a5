#pragma once
// ksgrab.cfg: the destination folder and the options, one value per line,
// 15 lines in this fixed order (the size text and unit sit between the
// eighth and the ninth check box), CR LF ends. Reading stops at the first
// line that cannot be applied; the values before it stay valid.
// Plain bytes in and out, no Qt: the fuzz targets link this file alone.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelin {

// What a line holds.
enum class SettingKind { Folder, CheckState, SizeText, UnitIndex };

// Line n (1-based) of the file: its kind and, for a check box, the name of
// the control it belongs to ("chkRipPageOnly"...; empty for the others).
struct SettingLine {
  SettingKind Kind;
  const char* Control;
};
const std::vector<SettingLine>& SettingsLayout();  // 15 entries

// One value as read from the file: the text for Folder and SizeText, the
// integer for CheckState (0 to 2) and UnitIndex (-1 to 1).
struct SettingValue {
  std::string Text;
  int Number = 0;
};

// The values of the lines that could be read, in file order, stopping
// before the first line that is missing or not acceptable for its kind.
// `complete` is true when all 15 were read (later lines are ignored).
struct SettingsRead {
  std::vector<SettingValue> Values;
  bool Complete = false;
};
SettingsRead ParseSettings(std::string_view fileText);

// An integer line: optional blanks, an optional sign, digits, optional
// blanks. nullopt for anything else (fractions included).
std::optional<int> ParseSettingInteger(const std::string& line);

// The file text for 15 values in layout order (Text for Folder and
// SizeText, Number otherwise).
std::string FormatSettings(const std::vector<SettingValue>& values);

}  // namespace kestrelin
