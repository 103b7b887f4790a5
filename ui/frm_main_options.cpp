// frmMain: the option reactions and the input checks of the address and
// size fields.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "ui/frm_main.h"
#include "ui/option_checks.h"

namespace kestrelin {
namespace {

const char kExternalWarning[] =
    "Warning:  I do not recommend using this option.\r\n"
    "Using it will increase the download time required.\r\n"
    "All externally linked files (determined with a different\r\n"
    "domain name than the given URL) will be put into a folder\r\n"
    "labeled \"external\" on completion, and any external file\r\n"
    "links that have the same names will be overwritten.";

}  // namespace

void frmMain::chkLimitSize_Click() {
  const bool on = CheckValue(chkLimitSize_) == 1;
  txtSize_->setEnabled(on);
  cmbSize_->setEnabled(on);
  chkDownloadUnknown_->setEnabled(on);
  UpdateDownloadAvailability();
}

void frmMain::chkNoDownload_Click() {
  if (CheckValue(chkNoDownload_) == 1) {
    chkOnlyDownload_->setCheckState(Qt::Unchecked);  // runs its reaction, nested
    cmdSetIgnore_->setEnabled(true);
  } else {
    cmdSetIgnore_->setEnabled(false);
  }
}

void frmMain::chkOnlyDownload_Click() {
  if (CheckValue(chkOnlyDownload_) == 1) {
    chkNoDownload_->setCheckState(Qt::Unchecked);  // runs its reaction, nested
    cmdSetExclusive_->setEnabled(true);
  } else {
    cmdSetExclusive_->setEnabled(false);
  }
}

void frmMain::chkFollowExternal_Click() {
  if (CheckValue(chkFollowExternal_) != 1 || !formReady_) return;
  const MessageAnswer answer = services_.Dialogs.ShowMessage(
      this, "Warning!", kExternalWarning, MessageIcon::Warning, MessageButtons::OkCancel);
  if (answer == MessageAnswer::Cancel) chkFollowExternal_->setCheckState(Qt::Unchecked);
}

void frmMain::txtURL_Change() {
  addressValid_ = IsValidAddress(txtURL_->text().toStdString());
  MarkField(txtURL_, addressValid_);
  UpdateDownloadAvailability();
}

void frmMain::txtSize_Change() {
  sizeValid_ = IsNumericText(txtSize_->text().toStdString());
  MarkField(txtSize_, sizeValid_);
  UpdateDownloadAvailability();
}

void frmMain::MarkField(QLineEdit* field, bool valid) {
  if (valid) {
    field->setPalette(QPalette());  // the system's colours, disabled look included
    return;
  }
  QPalette palette;
  palette.setColor(QPalette::Base, QColor(255, 0, 0));
  palette.setColor(QPalette::Text, QColor(Qt::white));
  field->setPalette(palette);
}

// Download is offered when the address is valid and, with the size limit
// on, the size is a number too.
void frmMain::UpdateDownloadAvailability() {
  const bool sizeOk = CheckValue(chkLimitSize_) != 1 || sizeValid_;
  cmdDownload_->setEnabled(addressValid_ && sizeOk);
}

}  // namespace kestrelin
