// frmMain: the start-up and shut-down sequences with the settings file
// ksgrab.cfg, and the about texts.
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSignalBlocker>
#include <QTabWidget>

#include "engine/paths.h"
#include "ui/folder_list.h"
#include "ui/frm_main.h"
#include "ui/frm_type_editor.h"
#include "ui/progress_key_targets.h"
#include "ui/settings_file.h"

namespace kestrelin {
namespace {

const char kCreatorCredit[] = "the Kestrelin developers";
const char kCreatorMail[] = "kestrelin@example.org";

}  // namespace

void frmMain::Form_Load() {
  std::vector<std::string> problems;
  formReady_ = false;
  picContain_->setAutoFillBackground(true);
  QPalette panel = picContain_->palette();
  panel.setColor(QPalette::Window, QPalette().color(QPalette::Button));
  picContain_->setPalette(panel);
  SSTab_->setCurrentIndex(0);
  Dir1_->SetPath(services_.DefaultFolder);
  state_.MainLoaded = 1;
  cmbSize_->clear();
  cmbSize_->addItem("kb");
  cmbSize_->addItem("Mb");
  helpPath_ = services_.HelpPath;
  cmbSize_->setCurrentIndex(0);
  settingsPath_ = JoinPath(services_.ProgramFolder, "ksgrab.cfg");
  if (!LoadSettings())
    problems.push_back("the settings file " + settingsPath_ + " could not be created");
  LoadCopySettings();

  Drive1_->SetVolumes(services_.Volumes.empty() ? MountedVolumes() : services_.Volumes);
  SelectDriveOfFolder();

  state_.CachePath = JoinPath(services_.ProgramFolder, "cache");
  if (!services_.FSO.FolderExists(state_.CachePath) &&
      !services_.FSO.CreateFolder(state_.CachePath))
    problems.push_back("the working folder " + state_.CachePath + " could not be created");

  if (!frmIgnTypes_->Form_Load(services_.ProgramFolder))
    problems.push_back("the list file " + frmIgnTypes_->FilePath() + " could not be created");
  if (!frmExcTypes_->Form_Load(services_.ProgramFolder))
    problems.push_back("the list file " + frmExcTypes_->FilePath() + " could not be created");
  setWindowIcon(frmIgnTypes_->windowIcon());
  FillAboutLabels();

  txtURL_Change();
  if (CheckValue(chkLimitSize_) == 1) txtSize_Change();
  formReady_ = true;
  show();  // filled: messages from here on stand over the finished window
  if (!problems.empty()) {
    std::string text = "Kestrelin could not prepare its files:";
    for (const auto& problem : problems) text += "\r\n- " + problem;
    text += "\r\n\r\nCopying may fail until the program's folder can be written to.";
    services_.Dialogs.ShowMessage(this, "Error", text, MessageIcon::Error, MessageButtons::Ok);
  }
}

// Restores what it can; false only when a failed reading could not leave
// the empty file behind.
bool frmMain::LoadSettings() {
  const auto text = services_.FSO.ReadFile(settingsPath_);
  const SettingsRead read = text ? ParseSettings(*text) : SettingsRead{};
  const auto& layout = SettingsLayout();
  for (std::size_t n = 0; n < read.Values.size(); ++n) {
    const SettingValue& value = read.Values[n];
    switch (layout[n].Kind) {
      case SettingKind::Folder:
        // The system reads a path only up to a NUL byte, so a line holding
        // one would restore a folder other than the one it names.
        if (value.Text.empty() || value.Text.find('\0') != std::string::npos ||
            !services_.FSO.FolderExists(value.Text) ||
            !Dir1_->SetPath(value.Text))
          Dir1_->SetPath(services_.DefaultFolder);
        break;
      case SettingKind::CheckState:
        SetCheckValue(findChild<QCheckBox*>(layout[n].Control), value.Number);
        break;
      case SettingKind::SizeText:
        txtSize_->setText(QString::fromStdString(value.Text));
        break;
      case SettingKind::UnitIndex:
        cmbSize_->setCurrentIndex(value.Number);
        break;
    }
  }
  if (read.Complete) return true;
  return services_.FSO.WriteFile(settingsPath_, "");
}

void frmMain::SelectDriveOfFolder() {
  const int index = Drive1_->IndexOfPath(Dir1_->Path());
  const QSignalBlocker quiet(Drive1_);  // the folder stays where it is
  Drive1_->setCurrentIndex(index);
  LastDriveIndex = index;
}

void frmMain::FillAboutLabels() {
  lblVersion_->setText(QString::fromStdString(VersionCaption(
      KESTRELIN_VERSION_MAJOR, KESTRELIN_VERSION_MINOR, KESTRELIN_VERSION_PATCH)));
  lblCreated_->setText("Created by");
  lblCreator_->setText(kCreatorCredit);
  lblCreator_->setToolTip(QString("click to e-mail me at:  ") + kCreatorMail);
  lblAbout_->setText(
      "Simply put the site URL in the textbox above"
      " and click \"Download Files\" to download files from that"
      " site to a folder on your computer, while preserving the"
      " file structure of the website when it completes downloading.");
}

void frmMain::lblCreator_Click() {
  services_.Dialogs.OpenTarget(std::string("mailto:") + kCreatorMail);
}

void frmMain::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  std::vector<std::string> problems;
  state_.MainLoaded = 0;
  for (frmTypeEditor* editor : {frmIgnTypes_, frmExcTypes_}) {
    if (!editor->Form_Unload()) problems.push_back(editor->FilePath());
    editor->hide();
  }
  SaveSettings(problems);
  SaveCopySettings(problems);
  if (!problems.empty()) {
    std::string text = "These files could not be saved:";
    for (const auto& path : problems) text += "\r\n" + path;
    services_.Dialogs.ShowMessage(this, "Error", text, MessageIcon::Error, MessageButtons::Ok);
  }
}

void frmMain::SaveSettings(std::vector<std::string>& problems) {
  std::vector<SettingValue> values;
  for (const SettingLine& line : SettingsLayout()) {
    SettingValue value;
    switch (line.Kind) {
      case SettingKind::Folder: value.Text = Dir1_->Path(); break;
      case SettingKind::CheckState:
        value.Number = CheckValue(findChild<QCheckBox*>(line.Control));
        break;
      case SettingKind::SizeText: value.Text = txtSize_->text().toStdString(); break;
      case SettingKind::UnitIndex: value.Number = cmbSize_->currentIndex(); break;
    }
    values.push_back(std::move(value));
  }
  if (!services_.FSO.WriteFile(settingsPath_, FormatSettings(values)))
    problems.push_back(settingsPath_);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (crawling_) {
    // The crawl runs inside a click handler below us: ask it to stop and
    // close once it has finished and moved what it fetched.
    state_.StopDownload = kTrue;
    closeAfterCrawl_ = true;
    event->ignore();
    return;
  }
  Form_Unload();
  event->accept();
}

}  // namespace kestrelin
