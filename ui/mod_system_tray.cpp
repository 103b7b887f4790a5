#include "ui/mod_system_tray.h"

#include "ui/tray_icons.h"

namespace kestrelin {

std::string CutTrayTip(const std::string& tip) {
  // The tip is UTF-8: a character starts at every byte that is not a
  // continuation byte (10xxxxxx); the cut goes before the 64th such start.
  std::size_t characters = 0;
  for (std::size_t i = 0; i < tip.size(); ++i) {
    if ((static_cast<unsigned char>(tip[i]) & 0xC0) == 0x80) continue;
    if (++characters > kTrayTipLength) return tip.substr(0, i);
  }
  return tip;
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
