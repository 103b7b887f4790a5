// frmMain: starting and stopping a crawl, and the window side of a running
// crawl (progress list, bar, yields, tray, completion).
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "engine/crawl_context.h"
#include "engine/download_site.h"
#include "engine/paths.h"
#include "engine/text_lines.h"
#include "ui/folder_list.h"
#include "ui/frm_main.h"
#include "ui/frm_taskbar.h"
#include "ui/frm_type_editor.h"
#include "ui/mod_system_tray.h"
#include "platform/working_folder_lock.h"
#include "ui/option_checks.h"

namespace kestrelin {
namespace {

// Events are served at most this often while a crawl runs, so a fast crawl
// does not spend its time repainting.
constexpr qint64 kEventIntervalMs = 20;

// QProgressBar repaints itself at once (with the window behind it) on every
// value that changes its picture, and a crawl sets a value per file: on a
// fast site those repaints take a large share of the crawl's time. While a
// crawl runs the bar's painting is held: its value is still set at once, and
// it is painted with everything else each time events are served and when
// the crawl ends.
void HoldBarPaints(QProgressBar* bar, bool hold) { bar->setUpdatesEnabled(!hold); }

// Serves the pending events; a held bar is let through for this time
// (re-enabling its updates schedules its repaint with the latest value).
void ServeEvents(QProgressBar* bar) {
  const bool held = !bar->updatesEnabled();
  if (held) HoldBarPaints(bar, false);
  QCoreApplication::processEvents();
  if (held) HoldBarPaints(bar, true);
}

}  // namespace

CrawlOptions frmMain::ReadOptions() const {
  CrawlOptions o;
  o.RipPageOnly = CheckValue(chkRipPageOnly_);
  o.NoDownload = CheckValue(chkNoDownload_);
  o.OnlyDownload = CheckValue(chkOnlyDownload_);
  o.NoValidate = CheckValue(chkNoValidate_);
  o.ListFailed = CheckValue(chkListFailed_);
  o.HideDLing = CheckValue(chkHideDLing_);
  o.TxtOutput = CheckValue(chkTxtOutput_);
  o.LimitSize = CheckValue(chkLimitSize_);
  o.SizeLimit = 0;
  o.NoGoUp = CheckValue(chkNoGoUp_);
  o.DecodeName = CheckValue(chkDecodeName_);
  o.FollowExternal = CheckValue(chkFollowExternal_);
  o.DownloadUnknown = CheckValue(chkDownloadUnknown_);
  o.CompletePages = CheckValue(chkCompletePages_);
  o.OfflineLinks = CheckValue(chkOfflineLinks_);
  return o;
}

std::optional<std::int64_t> frmMain::ReadSizeLimit() const {
  if (CheckValue(chkLimitSize_) != 1) return 0;
  return ComputeSizeLimit(txtSize_->text().toStdString(), cmbSize_->currentIndex());
}

void frmMain::cmdDownload_Click() {
  if (crawling_) return;  // one crawl at a time
  const auto sizeLimit = ReadSizeLimit();
  if (!sizeLimit) {
    services_.Dialogs.ShowMessage(this, "Kestrelin",
                                  "The size limit \"" + txtSize_->text().toStdString() +
                                      "\" is not a number. Enter a number such as 500 or 1.5.",
                                  MessageIcon::Error, MessageButtons::Ok);
    return;
  }
  // One crawl per working folder: another window or the headless tool may
  // be crawling with this program folder.
  const auto lock = WorkingFolderLock::TryTake(services_.ProgramFolder);
  if (!lock) {
    services_.Dialogs.ShowMessage(
        this, "Kestrelin",
        "Another crawl is using the working folder " + JoinPath(services_.ProgramFolder, "cache") +
            ".\r\n\r\nStart this one again when that crawl has ended.",
        MessageIcon::Warning, MessageButtons::Ok);
    return;
  }
  crawling_ = true;
  cmdDownload_->setVisible(false);
  cmdStop_->setVisible(true);
  picContain_->setEnabled(false);
  pBar_->setValue(0);
  QCoreApplication::processEvents();
  state_.StopDownload = kFalse;
  cmdStop_->setFocus();

  std::string SavePath = Dir1_->Path();
  std::string URL(TrimSpaces(txtURL_->text().toStdString()));
  CrawlOptions options = ReadOptions();
  options.SizeLimit = *sizeLimit;
  CrawlContext ctx{state_, *this, services_.Cache, services_.FSO, services_.Time, *liveTypes_,
                   services_.ProgramFolder};
  sinceEvents_.start();
  HoldBarPaints(pBar_, true);
  DownloadSite(ctx, SavePath, URL, options);
  HoldBarPaints(pBar_, false);

  ApplyPendingVisible();
  crawling_ = false;
  if (closeAfterCrawl_) close();
}

void frmMain::cmdStop_Click() {
  if (!cmdStop_->isVisible()) return;
  cmdStop_->setVisible(false);
  state_.StopDownload = kTrue;
  cmdDownload_->setVisible(true);
  cmdDownload_->setEnabled(false);  // the crawl is still ending
}

// --- progress list -----------------------------------------------------

void frmMain::ClearLog() {
  log_.Clear();
  lstProgress_->clear();
  pendingVisible_ = 0;
}

void frmMain::AddLine(const std::string& text) {
  log_.Add(text);
  lstProgress_->addItem(QString::fromStdString(text));
}

bool frmMain::AddKeyedLine(const std::string& text, const std::string& key) {
  if (!log_.AddKeyed(text, key)) return false;
  lstProgress_->addItem(QString::fromStdString(text));
  return true;
}

void frmMain::SetLineText(long n, const std::string& text) {
  log_.SetText(n, text);
  if (QListWidgetItem* item = lstProgress_->item(static_cast<int>(n - 1)))
    item->setText(QString::fromStdString(text));
}

bool frmMain::SetLineKey(long n, const std::string& key) { return log_.SetKey(n, key); }

void frmMain::SetLineRed(long n) {
  log_.SetRed(n);
  if (QListWidgetItem* item = lstProgress_->item(static_cast<int>(n - 1)))
    item->setForeground(QColor(255, 0, 0));
}

void frmMain::RemoveLine(long n) {
  if (n < 1 || n > log_.Count()) return;
  log_.Remove(n);
  delete lstProgress_->takeItem(static_cast<int>(n - 1));
}

// Scrolling is deferred to the next moment events are served: only the
// last request before a repaint can be seen anyway.
void frmMain::MakeLineVisible(long n) { pendingVisible_ = n; }

void frmMain::ApplyPendingVisible() {
  if (pendingVisible_ < 1) return;
  if (QListWidgetItem* item = lstProgress_->item(static_cast<int>(pendingVisible_ - 1)))
    lstProgress_->scrollToItem(item);
  pendingVisible_ = 0;
}

void frmMain::SetBarMax(int max) { pBar_->setMaximum(max); }
void frmMain::SetBarValue(int value) { pBar_->setValue(value); }
int frmMain::BarMax() const { return pBar_->maximum(); }

void frmMain::YieldEvents() {
  ++yields_;
  if (state_.StopDownload == 0 && sinceEvents_.isValid() &&
      sinceEvents_.elapsed() < kEventIntervalMs)
    return;
  ApplyPendingVisible();
  ServeEvents(pBar_);
  sinceEvents_.start();
}

// --- window and tray ---------------------------------------------------

void frmMain::HideMainWindow() {
  shownState_ = windowState() & ~Qt::WindowMinimized;  // to come back as it was
  // Without a notification area the window stays reachable on the task
  // bar, with the crawl's state in its title, so Stop is always at hand.
  if (QSystemTrayIcon::isSystemTrayAvailable()) hide();
  else showMinimized();
}

void frmMain::ShowMainWindow() {
  setWindowTitle("Kestrelin");
  setWindowState(shownState_);
  show();
  raise();
  activateWindow();
}

void frmMain::LoadTray() {
  frmTaskbar_ = std::make_unique<frmTaskbar>(state_, [this](const std::string& tip) {
    setWindowTitle(QString::fromStdString("Kestrelin - " + tip));
  });
}

void frmMain::TraySetTip(const std::string& tip, int iconKind) {
  if (frmTaskbar_) kestrelin::TraySetTip(*frmTaskbar_, tip, iconKind);
}

void frmMain::UnloadTray() { frmTaskbar_.reset(); }

void frmMain::RestoreIdleControls() {
  cmdDownload_->setVisible(true);
  picContain_->setEnabled(true);
  cmdStop_->setVisible(false);
  UpdateDownloadAvailability();
}

void frmMain::ShowCompletionMessage(const std::string& text) {
  ApplyPendingVisible();
  HoldBarPaints(pBar_, false);  // the message box runs its own event loop
  services_.Dialogs.ShowMessage(this, "Kestrelin", text, MessageIcon::Information,
                                MessageButtons::Ok);
}

void frmMain::RefreshFolderList() { Dir1_->Refresh(); }

}  // namespace kestrelin
