#include "ui/mod_system_tray.h"

#include "ui/tray_icons.h"

namespace kestrelin {

std::string CutTrayTip(const std::string& tip) {
  if (tip.size() <= kTrayTipLength) return tip;
  std::size_t end = kTrayTipLength;
  // Step back over continuation bytes so a character is never split.
  while (end > 0 && (static_cast<unsigned char>(tip[end]) & 0xC0) == 0x80) --end;
  return tip.substr(0, end);
}

void TrayAdd(frmTaskbar& window, const std::string& tip) {
  TrayRecord& record = window.Record();
  record.Tip = CutTrayTip(tip);
  record.Icon = KestrelinIcon();
  record.IconKind = 0;
  record.Added = true;
  window.ApplyRecord();
}

void TraySetTip(frmTaskbar& window, const std::string& tip, int iconKind) {
  TrayRecord& record = window.Record();
  const QIcon picture = TrayIconOfKind(iconKind);
  if (!picture.isNull()) {
    record.Icon = picture;
    record.IconKind = iconKind;
  }
  record.Tip = CutTrayTip(tip);
  window.ApplyRecord();
}

void TrayRemove(frmTaskbar& window) {
  window.Record().Added = false;
  window.RemoveIcon();
}

}  // namespace kestrelin
