#include "ui/frm_type_editor.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/paths.h"
#include "ui/tray_icons.h"

namespace kestrelin {
namespace {

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

const char* RefusalMessage(TypeListKind kind) {
  return kind == TypeListKind::Ignored ? "Cannot ignore this file type."
                                       : "Cannot add this file type.";
}

}  // namespace

frmTypeEditor::frmTypeEditor(TypeListKind kind, CrawlState& state, FileService& fso,
                             UserDialogs& dialogs, QWidget* owner)
    : QDialog(owner), kind_(kind), state_(state), fso_(fso), dialogs_(dialogs), owner_(owner) {
  setObjectName(kind == TypeListKind::Ignored ? "frmIgnTypes" : "frmExcTypes");
  setWindowTitle("Kestrelin");
  setWindowIcon(KestrelinIcon());

  Label1_ = new QLabel("Extension:", this);
  Label1_->setObjectName("Label1");
  txtExt_ = new QLineEdit(this);
  txtExt_->setObjectName("txtExt");
  txtExt_->setToolTip("Enter as '*.ext', '.ext', or just 'ext'.");
  Label1_->setBuddy(txtExt_);
  cmdAdd_ = new QPushButton("Add", this);
  cmdAdd_->setObjectName("cmdAdd");
  cmdAdd_->setAutoDefault(false);
  lstExt_ = new QListWidget(this);
  lstExt_->setObjectName("lstExt");
  cmdRemove_ = new QPushButton("Remove", this);
  cmdRemove_->setObjectName("cmdRemove");
  cmdRemove_->setAutoDefault(false);
  cmdDone_ = new QPushButton("Done", this);
  cmdDone_->setObjectName("cmdDone");
  cmdDone_->setAutoDefault(false);

  auto* entryRow = new QHBoxLayout;
  entryRow->addWidget(Label1_);
  entryRow->addWidget(txtExt_, 1);
  entryRow->addWidget(cmdAdd_);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(cmdRemove_);
  buttonRow->addStretch(1);
  buttonRow->addWidget(cmdDone_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(entryRow);
  layout->addWidget(lstExt_, 1);
  layout->addLayout(buttonRow);
  resize(280, 320);

  connect(cmdAdd_, &QPushButton::clicked, this, &frmTypeEditor::cmdAdd_Click);
  connect(txtExt_, &QLineEdit::returnPressed, this, &frmTypeEditor::cmdAdd_Click);
  connect(cmdRemove_, &QPushButton::clicked, this, &frmTypeEditor::cmdRemove_Click);
  connect(cmdDone_, &QPushButton::clicked, this, &frmTypeEditor::cmdDone_Click);
}

bool frmTypeEditor::Form_Load(const std::string& programFolder) {
  path_ = JoinPath(programFolder, TypeListFileName(kind_));
  const TypeListRead read = ReadTypeList(fso_, path_, kind_);
  for (const auto& refused : read.RefusedSeen) {
    (void)refused;
    dialogs_.ShowMessage(this, "Kestrelin", RefusalMessage(kind_), MessageIcon::Information,
                         MessageButtons::OkCancel);
  }
  for (const auto& type : read.Types) AppendEntry(type);
  if (read.Readable) return true;
  return fso_.WriteFile(path_, "");
}

bool frmTypeEditor::Form_Unload() { return fso_.WriteFile(path_, FormatTypeList(types_, kind_)); }

void frmTypeEditor::ShowModal() {
  setWindowModality(Qt::ApplicationModal);
  show();
  raise();
  activateWindow();
  txtExt_->setFocus();
}

void frmTypeEditor::AppendEntry(const std::string& type) {
  types_.push_back(type);
  lstExt_->addItem(QString::fromStdString(type));
}

bool frmTypeEditor::IsValidType(const std::string& type) {
  bool valid = true;
  if (IsRefusedType(kind_, type)) {
    dialogs_.ShowMessage(this, "Kestrelin", RefusalMessage(kind_), MessageIcon::Information,
                         MessageButtons::OkCancel);
    valid = false;
  }
  return valid && HasOnlyTypeCharacters(type);
}

void frmTypeEditor::cmdAdd_Click() {
  const std::string text = txtExt_->text().toStdString();
  const auto dot = text.find('.');
  const std::string type = AsciiLower(dot == std::string::npos ? text : text.substr(dot + 1));
  if (IsValidType(type)) AppendEntry(type);
  txtExt_->clear();
}

int frmTypeEditor::RemoveLimit() const { return kind_ == TypeListKind::Ignored ? 1 : 5; }

void frmTypeEditor::cmdRemove_Click() {
  const auto selected = lstExt_->selectedItems();
  const int index = selected.isEmpty() ? -1 : lstExt_->row(selected.first());
  if (index <= RemoveLimit()) {
    dialogs_.ShowMessage(this, "Kestrelin", "Cannot remove these types.",
                         MessageIcon::Information, MessageButtons::Ok);
    return;
  }
  delete lstExt_->takeItem(index);
  types_.erase(types_.begin() + index);
}

void frmTypeEditor::cmdDone_Click() {
  if (owner_) owner_->setEnabled(true);
  hide();
  if (owner_) owner_->show();
}

void frmTypeEditor::closeEvent(QCloseEvent* event) {
  if (state_.MainLoaded == 1) {
    event->ignore();
    cmdDone_Click();
    return;
  }
  event->accept();
}

void frmTypeEditor::reject() {
  if (state_.MainLoaded == 1) cmdDone_Click();
  else QDialog::reject();
}

}  // namespace kestrelin
