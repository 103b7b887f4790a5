// frmMain: the destination folder commands, the file-type editors, the
// progress list's pop-up menu and help.
#include <QListWidget>
#include <QMenu>

#include "engine/paths.h"
#include "ui/folder_list.h"
#include "ui/frm_main.h"
#include "ui/frm_type_editor.h"
#include "ui/progress_key_targets.h"

namespace kestrelin {

void frmMain::cmdSetIgnore_Click() { frmIgnTypes_->ShowModal(); }

void frmMain::cmdSetExclusive_Click() { frmExcTypes_->ShowModal(); }

void frmMain::cmdHelp_Click() { services_.Dialogs.OpenTarget(helpPath_); }

void frmMain::Drive1_Change() {
  const int index = Drive1_->currentIndex();
  if (Dir1_->SetPath(Drive1_->RootAt(index))) {
    LastDriveIndex = index;
    return;
  }
  services_.Dialogs.ShowMessage(this, "Error", "Drive not available.", MessageIcon::Error,
                                MessageButtons::Ok);
  if (LastDriveIndex != index) Drive1_->setCurrentIndex(LastDriveIndex);  // runs this again
  // When the previous drive has become unreadable too, the list stays put.
  Dir1_->SetPath(Drive1_->RootAt(Drive1_->currentIndex()));
}

void frmMain::cmdNewDir_Click() {
  const std::string answer = services_.Dialogs.PromptText(this, "Kestrelin", "Enter folder name:");
  if (answer.empty()) return;
  const std::string newPath = JoinPath(Dir1_->Path(), answer);
  if (services_.FSO.FolderExists(newPath)) {
    services_.Dialogs.ShowMessage(this, "Kestrelin", "Folder already exists",
                                  MessageIcon::Information, MessageButtons::Ok);
  } else if (!services_.FSO.CreateFolder(newPath)) {
    services_.Dialogs.ShowMessage(
        this, "Error",
        "The folder \"" + newPath + "\" could not be created.\r\n\r\nThe folder above it may "
        "not exist or may not be writable, or the name may not be allowed.",
        MessageIcon::Error, MessageButtons::Ok);
    return;
  }
  Dir1_->Refresh();
  Dir1_->SetPath(newPath);
}

long frmMain::SelectedLine() const {
  const auto selected = lstProgress_->selectedItems();
  return selected.isEmpty() ? 0 : lstProgress_->row(selected.first()) + 1;
}

bool frmMain::lstProgress_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
  if (button != Qt::RightButton) return false;
  const long line = SelectedLine();
  if (line == 0 || log_.Line(line).Key.empty()) return false;
  lstMenu_->popup(globalPos);
  return true;
}

void frmMain::mnuFile_Click() {
  const long line = SelectedLine();
  if (line == 0) return;
  services_.Dialogs.OpenTarget(FileTargetOfKey(log_.Line(line).Key));
}

void frmMain::mnuOpen_Click() {
  const long line = SelectedLine();
  if (line == 0) return;
  services_.Dialogs.OpenTarget(PageTargetOfKey(log_.Line(line).Key));
}

}  // namespace kestrelin
