#include "ui/settings_file.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "engine/text_lines.h"

namespace kestrelin {

const std::vector<SettingLine>& SettingsLayout() {
  static const std::vector<SettingLine> layout = {
      {SettingKind::Folder, ""},
      {SettingKind::CheckState, "chkRipPageOnly"},
      {SettingKind::CheckState, "chkNoDownload"},
      {SettingKind::CheckState, "chkOnlyDownload"},
      {SettingKind::CheckState, "chkLimitSize"},
      {SettingKind::CheckState, "chkNoValidate"},
      {SettingKind::CheckState, "chkListFailed"},
      {SettingKind::CheckState, "chkHideDLing"},
      {SettingKind::CheckState, "chkTxtOutput"},
      {SettingKind::SizeText, ""},
      {SettingKind::UnitIndex, ""},
      {SettingKind::CheckState, "chkNoGoUp"},
      {SettingKind::CheckState, "chkDownloadUnknown"},
      {SettingKind::CheckState, "chkDecodeName"},
      {SettingKind::CheckState, "chkFollowExternal"},
  };
  return layout;
}

std::optional<int> ParseSettingInteger(const std::string& line) {
  const std::string_view text = TrimSpaces(line);
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i == text.size()) return std::nullopt;
  for (std::size_t j = i; j < text.size(); ++j)
    if (text[j] < '0' || text[j] > '9') return std::nullopt;
  if (text.size() - i > 6) return std::nullopt;  // far outside every range
  return std::atoi(std::string(text).c_str());
}

namespace {

// The first `count` lines of `text` (ended by CR or CR LF), without looking
// past them: a huge file costs no more than its first lines.
std::vector<std::string> FirstLines(std::string_view text, std::size_t count) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (lines.size() < count && start < text.size()) {
    const std::size_t end = std::min(text.find('\r', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end;
    if (start < text.size()) start += text.compare(start, 2, "\r\n") == 0 ? 2 : 1;
  }
  return lines;
}

}  // namespace

SettingsRead ParseSettings(std::string_view fileText) {
  SettingsRead read;
  const auto& layout = SettingsLayout();
  const std::vector<std::string> lines = FirstLines(fileText, layout.size());
  for (std::size_t n = 0; n < layout.size(); ++n) {
    if (n >= lines.size()) return read;
    SettingValue value;
    const SettingKind kind = layout[n].Kind;
    if (kind == SettingKind::Folder || kind == SettingKind::SizeText) {
      value.Text = lines[n];
    } else {
      const auto number = ParseSettingInteger(lines[n]);
      const int low = kind == SettingKind::UnitIndex ? -1 : 0;
      const int high = kind == SettingKind::UnitIndex ? 1 : 2;
      if (!number || *number < low || *number > high) return read;
      value.Number = *number;
    }
    read.Values.push_back(std::move(value));
  }
  read.Complete = true;
  return read;
}

std::string FormatSettings(const std::vector<SettingValue>& values) {
  std::vector<std::string> lines;
  const auto& layout = SettingsLayout();
  for (std::size_t n = 0; n < layout.size() && n < values.size(); ++n) {
    const SettingKind kind = layout[n].Kind;
    lines.push_back(kind == SettingKind::Folder || kind == SettingKind::SizeText
                        ? values[n].Text
                        : std::to_string(values[n].Number));
  }
  return JoinLinesCrLf(lines);
}

}  // namespace kestrelin
