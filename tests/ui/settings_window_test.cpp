// ksgrab.cfg through the window: the design defaults of a first run,
// restored at start-up with the reactions running, written at shut-down,
// and the failure rules; the Offline tab's two options live in
// ksoffline.cfg, written only once one has been on.

#include <QTabWidget>

#include "tests/ui/ui_test_support.h"

namespace kestrelin {
namespace {

class SettingsWindowTest : public test::MainWindowTest {
 protected:
  std::string Cfg() const { return ReadFileAt("program/ksgrab.cfg"); }
  // Writes ksgrab.cfg and opens the window over it.
  void OpenWithCfg(const std::vector<std::string>& lines) {
    WriteFileAt("program/ksgrab.cfg", JoinLinesCrLf(lines));
    OpenWindow();
  }
  void ExpectBoxes(std::initializer_list<const char*> on, std::initializer_list<const char*> off) {
    for (const char* box : on) EXPECT_TRUE(Checked(box)) << box;
    for (const char* box : off) EXPECT_FALSE(Checked(box)) << box;
  }
  std::string Folder() { return Find<FolderList>("Dir1")->Path(); }
  std::string Size() { return Find<QLineEdit>("txtSize")->text().toStdString(); }
  int Unit() { return Find<QComboBox>("cmbSize")->currentIndex(); }
};

TEST_F(SettingsWindowTest, FirstRunShowsTheDesignDefaultsAtHomeAndLeavesAnEmptyFile) {
  OpenWindow();
  EXPECT_EQ(Folder(), HomeFolder());
  for (const char* disabled :
       {"cmdSetIgnore", "cmdSetExclusive", "txtSize", "cmbSize", "chkDownloadUnknown"})
    EXPECT_FALSE(Enabled(disabled)) << disabled;
  EXPECT_EQ(Find<QTabWidget>("SSTab")->currentIndex(), 0);
  EXPECT_EQ(Find<QComboBox>("cmbSize")->currentText(), "kb");
  EXPECT_FALSE(Find<QPushButton>("cmdStop")->isVisible());
  EXPECT_EQ(Find<QPushButton>("cmdDownload")->geometry(), Find<QPushButton>("cmdStop")->geometry());
  window_->lblCreator_Click();
  window_->cmdHelp_Click();
  ASSERT_EQ(dialogs.Opened.size(), 2u);
  EXPECT_EQ(dialogs.Opened[0].rfind("mailto:", 0), 0u);
  EXPECT_EQ(dialogs.Opened[1], SandboxPath("program/help.html"));
  EXPECT_TRUE(std::filesystem::exists(SandboxPath("program/ksgrab.cfg")));
  EXPECT_EQ(Cfg(), "");
  EXPECT_TRUE(std::filesystem::is_directory(SandboxPath("program/cache")));
  EXPECT_TRUE(dialogs.Messages.empty());
  CloseWindow();  // the design defaults, written as they stand
  EXPECT_EQ(Cfg(), JoinLinesCrLf({HomeFolder(), "1", "0", "0", "0", "1", "0", "0", "1", "1", "0",
                                  "1", "0", "0", "0"}));
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("program/ksoffline.cfg")));  // none is on
}

TEST_F(SettingsWindowTest, EveryValueSurvivesARestart) {
  std::filesystem::create_directories(SandboxPath("dest/site"));
  OpenWindow();
  Find<FolderList>("Dir1")->SetPath(SandboxPath("dest/site"));
  Find<QCheckBox>("chkRipPageOnly")->setChecked(false);
  const char* const changed[] = {"chkOnlyDownload", "chkLimitSize", "chkListFailed",
                                 "chkHideDLing", "chkDownloadUnknown",
                                 "chkFollowExternal",  // Ok to the warning
                                 "chkCompletePages"};  // ksoffline.cfg's, not ksgrab.cfg's
  for (const char* box : changed) Find<QCheckBox>(box)->setChecked(true);
  Find<QLineEdit>("txtSize")->setText("12.5kb");  // past the 4 typed characters
  Find<QComboBox>("cmbSize")->setCurrentIndex(1);
  CloseWindow();
  const std::string saved = Cfg();
  EXPECT_EQ(saved, SandboxPath("dest/site") +
                       "\r\n0\r\n0\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n12.5kb\r\n1\r\n1\r\n1\r\n0\r\n1\r\n");
  EXPECT_EQ(ReadFileAt("program/ksoffline.cfg"), "CompletePages=1\r\nOfflineLinks=0\r\n");

  const std::size_t asked = dialogs.Messages.size();
  OpenWindow();
  EXPECT_EQ(dialogs.Messages.size(), asked);  // the restored external box is silent
  EXPECT_EQ(Folder(), SandboxPath("dest/site"));
  for (const char* box : changed) EXPECT_TRUE(Checked(box)) << box;
  EXPECT_FALSE(Checked("chkRipPageOnly"));
  EXPECT_TRUE(Enabled("cmdSetExclusive"));
  EXPECT_TRUE(Enabled("txtSize"));
  EXPECT_EQ(Size(), "12.5kb");
  EXPECT_TRUE(IsRed("txtSize"));
  EXPECT_EQ(Unit(), 1);
  EXPECT_EQ(Cfg(), saved);  // untouched until shut-down
}

// ksoffline.cfg skips its bad lines.
TEST_F(SettingsWindowTest, ABadOrShortFileRestoresWhatComesBeforeAndIsEmptied) {
  WriteFileAt("program/ksoffline.cfg", "OfflineLinks=7\nCompletePages=2\rjunk\nOfflineLinks=1");
  // Each file stops at line 7: a box that is no integer, or the end.
  for (const bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "short" : "bad line");
    std::vector<std::string> lines = {"/no/such/folder", "0", "1", "0", "1", "0", "x", "1", "0",
                                      "7", "1", "0", "0", "1", "1"};
    if (cut) lines.resize(6);
    OpenWithCfg(lines);
    EXPECT_EQ(Folder(), HomeFolder());  // a missing folder is not an error
    ExpectBoxes({"chkNoDownload", "chkLimitSize", "chkTxtOutput", "chkNoGoUp"},
                {"chkRipPageOnly", "chkNoValidate", "chkHideDLing", "chkDecodeName"});
    EXPECT_TRUE(Enabled("cmdSetIgnore"));
    EXPECT_EQ(Size(), "1");
    EXPECT_EQ(Cfg(), "");
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_EQ(window_->ReadOptions().CompletePages, 2);
    EXPECT_EQ(window_->ReadOptions().OfflineLinks, 1);
    CloseWindow();
  }
}

TEST_F(SettingsWindowTest, ACompleteFileIsAppliedLineByLine) {
  // Both type modes (lines 3, 4): only the second stays. A greyed box
  // (line 8, 2) shows greyed and clicks make it a two-state box. Unit -1
  // selects nothing.
  OpenWithCfg({HomeFolder(), "1", "1", "1", "0", "1", "0", "2", "1", "5", "-1", "1", "0", "0",
               "0", "extra"});
  ExpectBoxes({"chkOnlyDownload"}, {"chkNoDownload"});
  EXPECT_FALSE(Enabled("cmdSetIgnore"));
  EXPECT_EQ(Unit(), -1);
  EXPECT_EQ(Size(), "5");
  EXPECT_NE(Cfg(), "");  // a complete file is left alone
  auto* greyed = Find<QCheckBox>("chkHideDLing");
  EXPECT_EQ(CheckValue(greyed), 2);
  for (const int value : {1, 0, 1}) {
    greyed->click();
    EXPECT_EQ(CheckValue(greyed), value);
  }
  greyed->click();
  CloseWindow();
  // Written back as shown: one type mode, the two-state box, unit -1.
  EXPECT_EQ(Cfg(), JoinLinesCrLf({HomeFolder(), "1", "0", "1", "0", "1", "0", "0", "1", "5", "-1",
                                  "1", "0", "0", "0"}));
}

}  // namespace
}  // namespace kestrelin
