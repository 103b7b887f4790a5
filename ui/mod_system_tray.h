#pragma once
// modSystemTray: the three routines that put up, change and remove the
// tray icon of a hidden crawl, over frmTaskbar's tray record.
#include <string>

#include "ui/frm_taskbar.h"

namespace kestrelin {

constexpr std::size_t kTrayTipLength = 63;

// The tip as the tray holds it: its first 63 characters (UTF-8), never
// ending inside a multi-byte character.
std::string CutTrayTip(const std::string& tip);

// Puts the icon up with `tip` and the window's own icon.
void TrayAdd(frmTaskbar& window, const std::string& tip);
// Changes the tip; icon kinds 1 searching, 2 downloading, 3 rebuilding
// change the picture, any other kind keeps the picture chosen last.
void TraySetTip(frmTaskbar& window, const std::string& tip, int iconKind);
// Takes the icon away.
void TrayRemove(frmTaskbar& window);

}  // namespace kestrelin
