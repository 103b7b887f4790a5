#include "ui/frm_taskbar.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "ui/mod_system_tray.h"

namespace kestrelin {

frmTaskbar::frmTaskbar(CrawlState& state, std::function<void(const std::string&)> showWithoutTray,
                       QObject* parent)
    : QObject(parent), state_(state), showWithoutTray_(std::move(showWithoutTray)) {
  setObjectName("frmTaskbar");
  PMenu_ = new QMenu("Menu");
  PMenu_->setObjectName("PMenu");
  mnuStop_ = PMenu_->addAction("&Stop Downloading");
  mnuStop_->setObjectName("mnuStop");
  connect(mnuStop_, &QAction::triggered, this, &frmTaskbar::mnuStop_Click);
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = new QSystemTrayIcon(this);
    // The shell's right-click (context) request opens the menu; a left or
    // double click brings nothing back while the crawl runs.
    tray_->setContextMenu(PMenu_);
  }
  TrayAdd(*this, "Downloading...");
}

frmTaskbar::~frmTaskbar() {
  TrayRemove(*this);
  delete PMenu_;
}

void frmTaskbar::ApplyRecord() {
  if (tray_) {
    tray_->setIcon(record_.Icon);
    tray_->setToolTip(QString::fromStdString(record_.Tip));
    if (record_.Added) tray_->show();
  } else if (showWithoutTray_) {
    showWithoutTray_(record_.Tip);
  }
}

void frmTaskbar::RemoveIcon() {
  if (tray_) tray_->hide();
}

void frmTaskbar::mnuStop_Click() { state_.StopDownload = kTrue; }

}  // namespace kestrelin
