// frmMain: construction, captions, tool tips, design defaults and layout.
#include "ui/frm_main.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValidator>

#include "ui/folder_list.h"
#include "ui/frm_taskbar.h"
#include "ui/frm_type_editor.h"

namespace kestrelin {
namespace {

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption, const char* tip,
                     bool checked) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setToolTip(tip);
  box->setChecked(checked);
  return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

// Typing (and pasting) stops at `length` characters; text the program sets,
// such as a restored setting, is kept whole, which a maximum length would
// cut.
class TypedLengthValidator : public QValidator {
 public:
  TypedLengthValidator(int length, QObject* parent) : QValidator(parent), length_(length) {}
  State validate(QString& text, int&) const override {
    return text.size() <= length_ ? Acceptable : Invalid;
  }

 private:
  int length_;
};

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

int CheckValue(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    case Qt::Unchecked: break;
  }
  return 0;
}

void SetCheckValue(QCheckBox* box, int value) {
  box->setTristate(value == 2);
  box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
  // Greyed is shown as set; the next change, a click, makes the box a
  // two-state box again, so the user can only make it 0 or 1.
  if (value == 2)
    QObject::connect(box, &QCheckBox::stateChanged, box, [box] { box->setTristate(false); },
                     Qt::SingleShotConnection);
}

frmMain::frmMain(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
  setObjectName("frmMain");
  setWindowTitle("Kestrelin");
  BuildControls();
  frmIgnTypes_ = new frmTypeEditor(TypeListKind::Ignored, state_, services_.FSO,
                                   services_.Dialogs, this);
  frmExcTypes_ = new frmTypeEditor(TypeListKind::Exclusive, state_, services_.FSO,
                                   services_.Dialogs, this);
  liveTypes_ = std::make_unique<LiveTypeLists>(*frmIgnTypes_, *frmExcTypes_);
  ConnectReactions();
  resize(820, 600);
}

frmMain::~frmMain() = default;

void frmMain::BuildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);

  picContain_ = new QWidget(central);
  picContain_->setObjectName("picContain");

  Label1_ = MakeLabel(picContain_, "Label1", "Website URL:");
  txtURL_ = new QLineEdit(picContain_);
  txtURL_->setObjectName("txtURL");
  txtURL_->setPlaceholderText("http://www.example.com/index.html");
  Label1_->setBuddy(txtURL_);
  cmdHelp_ = MakeButton(picContain_, "cmdHelp", "?");
  cmdHelp_->setToolTip("Open Help File");
  QFont bold = cmdHelp_->font();
  bold.setBold(true);
  cmdHelp_->setFont(bold);
  cmdHelp_->setFixedWidth(cmdHelp_->sizeHint().height() + 8);

  Frame1_ = new QGroupBox("Options", picContain_);
  Frame1_->setObjectName("Frame1");
  SSTab_ = new QTabWidget(Frame1_);
  SSTab_->setObjectName("SSTab");
  SSTab_->addTab(BuildDownloadTab(), "Download");
  SSTab_->addTab(BuildFileTab(), "File");
  SSTab_->addTab(BuildCopyTab(), "Offline");
  auto* frameLayout = new QVBoxLayout(Frame1_);
  frameLayout->addWidget(SSTab_);

  lblVersion_ = MakeLabel(picContain_, "lblVersion", "");
  QFont title = lblVersion_->font();
  title.setBold(true);
  title.setPointSizeF(title.pointSizeF() * 1.25);
  lblVersion_->setFont(title);
  lblCreated_ = MakeLabel(picContain_, "lblCreated", "");
  lblCreator_ = MakeLabel(picContain_, "lblCreator", "");
  lblCreator_->setCursor(Qt::PointingHandCursor);
  lblAbout_ = MakeLabel(picContain_, "lblAbout", "");
  lblAbout_->setWordWrap(true);
  lblAbout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  buttonSlot_ = new QWidget(picContain_);
  buttonSlot_->setObjectName("buttonSlot");

  Label2_ = MakeLabel(picContain_, "Label2", "Save files to:");
  Drive1_ = new DriveList(picContain_);
  Dir1_ = new FolderList(services_.FSO, picContain_);
  Label2_->setBuddy(Dir1_);
  cmdNewDir_ = MakeButton(picContain_, "cmdNewDir", "Create New Folder");

  // Download and Stop live outside the panel, so that disabling the panel
  // during a crawl leaves Stop usable; they are kept over buttonSlot_.
  cmdDownload_ = MakeButton(central, "cmdDownload", "Download Files");
  cmdStop_ = MakeButton(central, "cmdStop", "Stop Download");
  cmdStop_->setVisible(false);
  const int buttonHeight = cmdDownload_->sizeHint().height() + 10;
  buttonSlot_->setFixedHeight(buttonHeight);
  buttonSlot_->setMinimumWidth(
      std::max(cmdDownload_->sizeHint().width(), cmdStop_->sizeHint().width()) + 16);
  buttonSlot_->installEventFilter(this);
  picContain_->installEventFilter(this);

  lstProgress_ = new QListWidget(central);
  lstProgress_->setObjectName("lstProgress");
  lstProgress_->setUniformItemSizes(true);
  lstProgress_->setSelectionMode(QAbstractItemView::SingleSelection);
  lstProgress_->viewport()->installEventFilter(this);
  pBar_ = new QProgressBar(central);
  pBar_->setObjectName("pBar");
  pBar_->setRange(0, 100);
  pBar_->setValue(0);
  pBar_->setTextVisible(false);

  lstMenu_ = new QMenu(this);
  lstMenu_->setObjectName("lstMenu");
  mnuFile_ = lstMenu_->addAction("Connect to file...");
  mnuFile_->setObjectName("mnuFile");
  mnuOpen_ = lstMenu_->addAction("Open web page...");
  mnuOpen_->setObjectName("mnuOpen");

  // Upper panel: the address row, then three columns.
  auto* addressRow = new QHBoxLayout;
  addressRow->addWidget(Label1_);
  addressRow->addWidget(txtURL_, 1);
  addressRow->addWidget(cmdHelp_);

  auto* middle = new QVBoxLayout;
  middle->addWidget(lblVersion_);
  middle->addWidget(lblCreated_);
  middle->addWidget(lblCreator_);
  middle->addSpacing(6);
  middle->addWidget(lblAbout_, 1);
  middle->addWidget(buttonSlot_);

  auto* right = new QVBoxLayout;
  right->addWidget(Label2_);
  right->addWidget(Drive1_);
  right->addWidget(Dir1_, 1);
  right->addWidget(cmdNewDir_);

  auto* columns = new QHBoxLayout;
  columns->addWidget(Frame1_, 5);
  columns->addLayout(middle, 4);
  columns->addLayout(right, 4);

  auto* panel = new QVBoxLayout(picContain_);
  panel->setContentsMargins(0, 0, 0, 0);
  panel->addLayout(addressRow);
  panel->addLayout(columns, 1);

  auto* window = new QVBoxLayout(central);
  window->addWidget(picContain_, 3);
  window->addWidget(lstProgress_, 2);
  window->addWidget(pBar_);
}

QWidget* frmMain::BuildDownloadTab() {
  auto* page = new QWidget;
  page->setObjectName("tabDownload");
  chkRipPageOnly_ = MakeCheck(page, "chkRipPageOnly", "Only download given URL",
      "Don't follow links in the given page and automatically download those pages.", true);
  chkNoGoUp_ = MakeCheck(page, "chkNoGoUp", "Don't download up levels",
      "This option prevents downloading from folders higher up than the one in the URL.", true);
  chkNoValidate_ = MakeCheck(page, "chkNoValidate", "Validate good downloads",
      "Display all successful downloads.", true);
  chkListFailed_ = MakeCheck(page, "chkListFailed", "Only list failed downloads",
      "Removes all items on the list besides those that failed when downloading is complete.",
      false);
  chkHideDLing_ = MakeCheck(page, "chkHideDLing", "Hide when downloading",
      "Minimize to the taskbar when downloading.  On completion, it will reappear.", false);
  chkTxtOutput_ = MakeCheck(page, "chkTxtOutput", "Write failed downloads to file",
      "Save a list of all failed downloads to a text file on completion.", true);
  chkDecodeName_ = MakeCheck(page, "chkDecodeName", "Decode URL file names",
      "This option makes Kestrelin decode URL information to the appropriate characters on "
      "completion.  I.E. \"%20\" becomes a space, etc.", false);
  chkFollowExternal_ = MakeCheck(page, "chkFollowExternal", "Download external files",
      "This option lets Kestrelin download files not hosted on the URL's provider.  NOTE:  "
      "Webpages from external links will not be followed.", false);
  auto* layout = new QVBoxLayout(page);
  for (QCheckBox* box : {chkRipPageOnly_, chkNoGoUp_, chkNoValidate_, chkListFailed_,
                         chkHideDLing_, chkTxtOutput_, chkDecodeName_, chkFollowExternal_})
    layout->addWidget(box);
  layout->addStretch(1);
  return page;
}

QWidget* frmMain::BuildFileTab() {
  auto* page = new QWidget;
  page->setObjectName("tabFile");
  chkNoDownload_ = MakeCheck(page, "chkNoDownload", "Ignore certain file types",
      "Does not download certain file types specified.", false);
  cmdSetIgnore_ = MakeButton(page, "cmdSetIgnore", "Set File Types");
  cmdSetIgnore_->setEnabled(false);
  chkOnlyDownload_ = MakeCheck(page, "chkOnlyDownload", "Only get certain file types",
      "Only download certain file types specified.", false);
  cmdSetExclusive_ = MakeButton(page, "cmdSetExclusive", "Set File Types");
  cmdSetExclusive_->setEnabled(false);
  chkLimitSize_ = MakeCheck(page, "chkLimitSize", "Limit download file size",
      "Sets a maximum file size limit for all files to be downloaded.  Any file larger will not "
      "be downloaded.", false);
  txtSize_ = new QLineEdit("1", page);
  txtSize_->setObjectName("txtSize");
  txtSize_->setValidator(new TypedLengthValidator(4, txtSize_));
  txtSize_->setEnabled(false);
  txtSize_->setFixedWidth(txtSize_->fontMetrics().horizontalAdvance("00000") + 16);
  cmbSize_ = new QComboBox(page);
  cmbSize_->setObjectName("cmbSize");
  cmbSize_->setEnabled(false);
  chkDownloadUnknown_ = MakeCheck(page, "chkDownloadUnknown", "Get files of unknown size",
      "If Kestrelin cannot determine the size of a file, download it anyway.", false);
  chkDownloadUnknown_->setEnabled(false);

  // Each button and the size controls sit indented under their check box.
  const int indent = 22;
  auto* grid = new QGridLayout(page);
  grid->setColumnMinimumWidth(0, indent);
  grid->addWidget(chkNoDownload_, 0, 0, 1, 3);
  grid->addWidget(cmdSetIgnore_, 1, 1, Qt::AlignLeft);
  grid->addWidget(chkOnlyDownload_, 2, 0, 1, 3);
  grid->addWidget(cmdSetExclusive_, 3, 1, Qt::AlignLeft);
  grid->addWidget(chkLimitSize_, 4, 0, 1, 3);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(txtSize_);
  sizeRow->addWidget(cmbSize_);
  sizeRow->addStretch(1);
  grid->addLayout(sizeRow, 5, 1, 1, 2);
  grid->addWidget(chkDownloadUnknown_, 6, 1, 1, 2);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(7, 1);
  return page;
}

void frmMain::ConnectReactions() {
  connect(chkLimitSize_, &QCheckBox::stateChanged, this, &frmMain::chkLimitSize_Click);
  connect(chkNoDownload_, &QCheckBox::stateChanged, this, &frmMain::chkNoDownload_Click);
  connect(chkOnlyDownload_, &QCheckBox::stateChanged, this, &frmMain::chkOnlyDownload_Click);
  connect(chkFollowExternal_, &QCheckBox::stateChanged, this, &frmMain::chkFollowExternal_Click);
  connect(txtURL_, &QLineEdit::textChanged, this, &frmMain::txtURL_Change);
  connect(txtSize_, &QLineEdit::textChanged, this, &frmMain::txtSize_Change);
  connect(cmdSetIgnore_, &QPushButton::clicked, this, &frmMain::cmdSetIgnore_Click);
  connect(cmdSetExclusive_, &QPushButton::clicked, this, &frmMain::cmdSetExclusive_Click);
  connect(cmdDownload_, &QPushButton::clicked, this, &frmMain::cmdDownload_Click);
  connect(cmdStop_, &QPushButton::clicked, this, &frmMain::cmdStop_Click);
  connect(cmdHelp_, &QPushButton::clicked, this, &frmMain::cmdHelp_Click);
  connect(cmdNewDir_, &QPushButton::clicked, this, &frmMain::cmdNewDir_Click);
  connect(Drive1_, qOverload<int>(&QComboBox::currentIndexChanged), this, &frmMain::Drive1_Change);
  connect(mnuFile_, &QAction::triggered, this, &frmMain::mnuFile_Click);
  connect(mnuOpen_, &QAction::triggered, this, &frmMain::mnuOpen_Click);
  connect(txtURL_, &QLineEdit::returnPressed, this, [this] {
    if (cmdDownload_->isVisible() && cmdDownload_->isEnabled()) cmdDownload_Click();
  });
  lblCreator_->installEventFilter(this);
}

void frmMain::PlaceStartStopButtons() {
  const QRect slot(buttonSlot_->mapTo(centralWidget(), QPoint(0, 0)), buttonSlot_->size());
  cmdDownload_->setGeometry(slot);
  cmdStop_->setGeometry(slot);
  cmdDownload_->raise();
  cmdStop_->raise();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == buttonSlot_ || watched == picContain_) && (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
                                 event->type() == QEvent::Show)) {
    PlaceStartStopButtons();
  } else if (watched == lstProgress_->viewport() && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    lstProgress_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
  } else if (watched == lblCreator_ && event->type() == QEvent::MouseButtonRelease) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) lblCreator_Click();
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace kestrelin
