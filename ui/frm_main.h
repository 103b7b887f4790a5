#pragma once
// frmMain: the program's main window. It holds the start address, the
// destination folder (Drive1, Dir1, cmdNewDir), the crawl's options on the
// tabs "Download" and "File", the Download and Stop commands, the progress
// list and bar, and the about texts. It is also the window side of a crawl
// (CrawlHost): the crawl runs inside cmdDownload_Click on the GUI thread and
// yields to the event loop through YieldEvents.
//
// Life: construct, Form_Load (the start-up sequence: settings, editors,
// working folder), use, close (the shut-down sequence: editors' files and
// ksgrab.cfg written). Every question to the user goes through UserDialogs.
#include <QElapsedTimer>
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/crawl_host.h"
#include "engine/crawl_options.h"
#include "engine/crawl_state.h"
#include "engine/file_service.h"
#include "engine/internet_cache.h"
#include "engine/progress_log_model.h"
#include "ui/drive_list.h"
#include "ui/user_dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QAction;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace kestrelin {

class FolderList;
class frmTaskbar;
class frmTypeEditor;
class LiveTypeLists;

// What the window works with. References must outlive the window.
struct MainWindowServices {
  FileService& FSO;
  InternetCache& Cache;
  Clock& Time;
  UserDialogs& Dialogs;
  std::string ProgramFolder;  // ksgrab.cfg, the type lists, fail.txt, cache
  std::string HelpPath;       // the user guide
  std::string DefaultFolder;  // the destination before any is restored
  // The drives to offer; empty means the machine's mounted volumes.
  std::vector<Volume> Volumes;
};

class frmMain : public QMainWindow, public CrawlHost {
  Q_OBJECT
 public:
  explicit frmMain(MainWindowServices services, QWidget* parent = nullptr);
  ~frmMain() override;

  // The start-up sequence; it shows the window once the window is filled.
  // Problems it cannot mend (a working folder or a file that cannot be
  // created) are told in one message; it never fails.
  void Form_Load();
  // The shut-down sequence; runs once, from the window's close. Files that
  // cannot be written are told in one message.
  void Form_Unload();

  // Commands; all run on the GUI thread.
  void cmdDownload_Click();
  void cmdStop_Click();
  void cmdHelp_Click();
  void cmdSetIgnore_Click();
  void cmdSetExclusive_Click();
  void cmdNewDir_Click();
  void Drive1_Change();
  void lblCreator_Click();
  void mnuFile_Click();
  void mnuOpen_Click();
  // Right button over the list with a keyed line selected: pops up lstMenu
  // at `globalPos` and returns true; otherwise false.
  bool lstProgress_MouseUp(Qt::MouseButton button, const QPoint& globalPos);

  // Option reactions, run on every state change of their control.
  void chkLimitSize_Click();
  void chkNoDownload_Click();
  void chkOnlyDownload_Click();
  void chkFollowExternal_Click();
  void txtURL_Change();
  void txtSize_Change();

  // What tests and the program's main() look at.
  CrawlState& State() { return state_; }
  frmTypeEditor& IgnTypes() { return *frmIgnTypes_; }
  frmTypeEditor& ExcTypes() { return *frmExcTypes_; }
  frmTaskbar* Taskbar() { return frmTaskbar_.get(); }
  bool FormReady() const { return formReady_; }
  bool Crawling() const { return crawling_; }
  const std::string& SettingsPath() const { return settingsPath_; }
  const std::string& HelpPath() const { return helpPath_; }
  const ProgressLogModel& Log() const { return log_; }
  int Yields() const { return yields_; }
  // The option set as the Download command reads it (SizeLimit left 0).
  CrawlOptions ReadOptions() const;
  // The size limit of the size controls; nullopt when the text is not a
  // number while the limit is on.
  std::optional<std::int64_t> ReadSizeLimit() const;

  // CrawlHost.
  void ClearLog() override;
  void AddLine(const std::string& text) override;
  bool AddKeyedLine(const std::string& text, const std::string& key) override;
  long LineCount() const override { return log_.Count(); }
  std::string LineText(long n) const override { return log_.Line(n).Text; }
  std::string LineKey(long n) const override { return log_.Line(n).Key; }
  void SetLineText(long n, const std::string& text) override;
  bool SetLineKey(long n, const std::string& key) override;
  void SetLineRed(long n) override;
  void RemoveLine(long n) override;
  void MakeLineVisible(long n) override;
  void SetBarMax(int max) override;
  void SetBarValue(int value) override;
  int BarMax() const override;
  void YieldEvents() override;
  void HideMainWindow() override;
  void ShowMainWindow() override;
  void LoadTray() override;
  void TraySetTip(const std::string& tip, int iconKind) override;
  void UnloadTray() override;
  void RestoreIdleControls() override;
  void ShowCompletionMessage(const std::string& text) override;
  void RefreshFolderList() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildDownloadTab();
  QWidget* BuildFileTab();
  QWidget* BuildCopyTab();
  // ksoffline.cfg: the two options of the Offline tab, apart from ksgrab.cfg.
  void LoadCopySettings();
  void SaveCopySettings(std::vector<std::string>& problems);
  void ConnectReactions();
  bool LoadSettings();
  void SaveSettings(std::vector<std::string>& problems);
  void FillAboutLabels();
  void SelectDriveOfFolder();
  void UpdateDownloadAvailability();
  void MarkField(QLineEdit* field, bool valid);
  void PlaceStartStopButtons();
  void ApplyPendingVisible();
  long SelectedLine() const;
  void TellProblems(const std::vector<std::string>& problems);

  MainWindowServices services_;
  CrawlState state_;
  ProgressLogModel log_;
  std::unique_ptr<frmTaskbar> frmTaskbar_;
  frmTypeEditor* frmIgnTypes_ = nullptr;
  frmTypeEditor* frmExcTypes_ = nullptr;
  std::unique_ptr<LiveTypeLists> liveTypes_;

  std::string settingsPath_;
  std::string helpPath_;
  bool formReady_ = false;
  bool copySettingsFound_ = false;  // ksoffline.cfg was there at start-up
  bool unloaded_ = false;
  bool crawling_ = false;
  bool closeAfterCrawl_ = false;
  bool addressValid_ = false;
  bool sizeValid_ = true;
  int LastDriveIndex = -1;
  Qt::WindowStates shownState_;  // maximised or not, before a crawl hid the window
  long pendingVisible_ = 0;
  int yields_ = 0;
  QElapsedTimer sinceEvents_;

  QWidget* picContain_;
  QLabel* Label1_;
  QLineEdit* txtURL_;
  QPushButton* cmdHelp_;
  QGroupBox* Frame1_;
  QTabWidget* SSTab_;
  QLabel* Label2_;
  DriveList* Drive1_;
  FolderList* Dir1_;
  QPushButton* cmdNewDir_;
  QLabel* lblVersion_;
  QLabel* lblCreated_;
  QLabel* lblCreator_;
  QLabel* lblAbout_;
  QWidget* buttonSlot_;  // where Download / Stop sit, inside the panel
  QPushButton* cmdDownload_;
  QPushButton* cmdStop_;
  QListWidget* lstProgress_;
  QProgressBar* pBar_;
  QMenu* lstMenu_;
  QAction* mnuFile_;
  QAction* mnuOpen_;

  QCheckBox* chkRipPageOnly_;
  QCheckBox* chkNoGoUp_;
  QCheckBox* chkNoValidate_;
  QCheckBox* chkListFailed_;
  QCheckBox* chkHideDLing_;
  QCheckBox* chkTxtOutput_;
  QCheckBox* chkDecodeName_;
  QCheckBox* chkFollowExternal_;
  QCheckBox* chkCompletePages_;
  QCheckBox* chkOfflineLinks_;
  QCheckBox* chkNoDownload_;
  QPushButton* cmdSetIgnore_;
  QCheckBox* chkOnlyDownload_;
  QPushButton* cmdSetExclusive_;
  QCheckBox* chkLimitSize_;
  QLineEdit* txtSize_;
  QComboBox* cmbSize_;
  QCheckBox* chkDownloadUnknown_;
};

// A check box's value: 0 clear, 1 checked, 2 greyed.
int CheckValue(const QCheckBox* box);
void SetCheckValue(QCheckBox* box, int value);

}  // namespace kestrelin
