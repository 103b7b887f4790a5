#pragma once
// frmTaskbar: the never-shown window that owns the tray icon for one hidden
// crawl (loaded at its start, destroyed at its end). Its menu PMenu holds
// the single command mnuStop "&Stop Downloading", offered on a right click
// on the icon; left clicks and double clicks do nothing. The icon's tip and
// image are changed through modSystemTray (mod_system_tray.h).
//
// Without a notification area (QSystemTrayIcon::isSystemTrayAvailable()
// false) there is no icon: every tip goes to `showWithoutTray`, with which
// the main window puts the crawl's state in its title.
#include <QIcon>
#include <QObject>
#include <functional>
#include <string>

#include "engine/crawl_state.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace kestrelin {

// The tray record: what the icon shows, kept between calls.
struct TrayRecord {
  std::string Tip;  // at most 63 bytes
  QIcon Icon;
  int IconKind = 0;  // the picture chosen last (0 = the window's own icon)
  bool Added = false;
};

class frmTaskbar : public QObject {
  Q_OBJECT
 public:
  // Load: TrayAdd(this, "Downloading...").
  frmTaskbar(CrawlState& state, std::function<void(const std::string&)> showWithoutTray,
             QObject* parent = nullptr);
  // Unload: TrayRemove(this).
  ~frmTaskbar() override;

  TrayRecord& Record() { return record_; }
  const TrayRecord& Record() const { return record_; }
  QMenu* PMenu() const { return PMenu_; }
  QAction* mnuStop() const { return mnuStop_; }
  bool HasTrayIcon() const { return tray_ != nullptr; }

  // Puts the record on screen (adds the icon on first use).
  void ApplyRecord();
  // Takes the icon away.
  void RemoveIcon();

  void mnuStop_Click();

 private:
  CrawlState& state_;
  std::function<void(const std::string&)> showWithoutTray_;
  TrayRecord record_;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* PMenu_;
  QAction* mnuStop_;
};

}  // namespace kestrelin
