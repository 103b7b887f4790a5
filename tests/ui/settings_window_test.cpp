// ksgrab.cfg through the window: restored at start-up with the reactions
// running, written at shut-down, and the failure rules.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "engine/text_lines.h"
#include "tests/ui/ui_test_support.h"
#include "ui/folder_list.h"

namespace kestrelin {
namespace {

class SettingsWindowTest : public test::MainWindowTest {
 protected:
  std::string Cfg() const { return ReadFileAt("program/ksgrab.cfg"); }
  void WriteCfg(const std::vector<std::string>& lines) {
    WriteFileAt("program/ksgrab.cfg", JoinLinesCrLf(lines));
  }
  bool Checked(const char* name) { return Find<QCheckBox>(name)->isChecked(); }
  std::string Folder() { return Find<FolderList>("Dir1")->Path(); }
};

TEST_F(SettingsWindowTest, FirstRunShowsDefaultsAndLeavesAnEmptyFile) {
  OpenWindow();
  EXPECT_TRUE(Checked("chkRipPageOnly"));
  EXPECT_TRUE(Checked("chkNoValidate"));
  EXPECT_TRUE(Checked("chkTxtOutput"));
  EXPECT_TRUE(Checked("chkNoGoUp"));
  EXPECT_FALSE(Checked("chkListFailed"));
  EXPECT_EQ(Find<QLineEdit>("txtSize")->text(), "1");
  EXPECT_EQ(Find<QComboBox>("cmbSize")->currentIndex(), 0);
  EXPECT_EQ(Folder(), HomeFolder());
  EXPECT_TRUE(std::filesystem::exists(SandboxPath("program/ksgrab.cfg")));
  EXPECT_EQ(Cfg(), "");
  EXPECT_TRUE(std::filesystem::is_directory(SandboxPath("program/cache")));
  EXPECT_EQ(window_->SettingsPath(), SandboxPath("program/ksgrab.cfg"));
  EXPECT_TRUE(window_->FormReady());
  EXPECT_EQ(window_->State().MainLoaded, 1);
  EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(SettingsWindowTest, EveryValueSurvivesARestart) {
  std::filesystem::create_directories(SandboxPath("dest/site"));
  OpenWindow();
  Find<FolderList>("Dir1")->SetPath(SandboxPath("dest/site"));
  Find<QCheckBox>("chkRipPageOnly")->setChecked(false);
  Find<QCheckBox>("chkOnlyDownload")->setChecked(true);
  Find<QCheckBox>("chkLimitSize")->setChecked(true);
  Find<QCheckBox>("chkListFailed")->setChecked(true);
  Find<QCheckBox>("chkHideDLing")->setChecked(true);
  Find<QLineEdit>("txtSize")->setText("abc");
  Find<QComboBox>("cmbSize")->setCurrentIndex(1);
  Find<QCheckBox>("chkDownloadUnknown")->setChecked(true);
  Find<QCheckBox>("chkFollowExternal")->setChecked(true);  // Ok to the warning
  CloseWindow();
  const std::string saved = Cfg();
  EXPECT_EQ(saved, SandboxPath("dest/site") +
                       "\r\n0\r\n0\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\nabc\r\n1\r\n1\r\n1\r\n0\r\n1\r\n");

  const std::size_t asked = dialogs.Messages.size();
  OpenWindow();
  EXPECT_EQ(dialogs.Messages.size(), asked);  // the restored external box is silent
  EXPECT_EQ(Folder(), SandboxPath("dest/site"));
  EXPECT_FALSE(Checked("chkRipPageOnly"));
  EXPECT_TRUE(Checked("chkOnlyDownload"));
  EXPECT_TRUE(Find<QPushButton>("cmdSetExclusive")->isEnabled());
  EXPECT_TRUE(Checked("chkLimitSize"));
  EXPECT_TRUE(Find<QLineEdit>("txtSize")->isEnabled());
  EXPECT_EQ(Find<QLineEdit>("txtSize")->text(), "abc");
  EXPECT_EQ(Find<QLineEdit>("txtSize")->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(Find<QComboBox>("cmbSize")->currentIndex(), 1);
  EXPECT_TRUE(Checked("chkDownloadUnknown"));
  EXPECT_TRUE(Checked("chkFollowExternal"));
  EXPECT_TRUE(Checked("chkHideDLing"));
  EXPECT_EQ(Cfg(), saved);  // untouched until shut-down
}

TEST_F(SettingsWindowTest, AShortFileRestoresWhatItHoldsAndIsEmptied) {
  std::filesystem::create_directories(SandboxPath("dest"));
  WriteCfg({SandboxPath("dest"), "0", "1", "0", "1"});
  OpenWindow();
  EXPECT_EQ(Folder(), SandboxPath("dest"));
  EXPECT_FALSE(Checked("chkRipPageOnly"));
  EXPECT_TRUE(Checked("chkNoDownload"));
  EXPECT_TRUE(Find<QPushButton>("cmdSetIgnore")->isEnabled());
  EXPECT_TRUE(Checked("chkLimitSize"));
  EXPECT_TRUE(Checked("chkNoValidate"));  // line 6 missing: design default
  EXPECT_EQ(Cfg(), "");
  EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(SettingsWindowTest, ABadLineStopsTheReadingAndTheRestKeepDefaults) {
  WriteCfg({"/no/such/folder", "0", "0", "0", "0", "0", "x", "1", "0", "7", "1", "0", "0", "1",
            "1"});
  OpenWindow();
  EXPECT_EQ(Folder(), HomeFolder());  // missing folder is not an error
  EXPECT_FALSE(Checked("chkRipPageOnly"));
  EXPECT_FALSE(Checked("chkNoValidate"));
  EXPECT_FALSE(Checked("chkHideDLing"));  // after the bad line
  EXPECT_TRUE(Checked("chkTxtOutput"));
  EXPECT_EQ(Find<QLineEdit>("txtSize")->text(), "1");
  EXPECT_FALSE(Checked("chkDecodeName"));
  EXPECT_EQ(Cfg(), "");
}

TEST_F(SettingsWindowTest, BothTypeModesRestoredLeaveOnlyTheSecondAndUnitMinusOneSelectsNothing) {
  WriteCfg({HomeFolder(), "1", "1", "1", "0", "1", "0", "0", "1", "5", "-1", "1", "0", "0", "0",
            "extra"});
  OpenWindow();
  EXPECT_FALSE(Checked("chkNoDownload"));
  EXPECT_TRUE(Checked("chkOnlyDownload"));
  EXPECT_FALSE(Find<QPushButton>("cmdSetIgnore")->isEnabled());
  EXPECT_EQ(Find<QComboBox>("cmbSize")->currentIndex(), -1);
  EXPECT_EQ(Find<QLineEdit>("txtSize")->text(), "5");
  EXPECT_NE(Cfg(), "");  // a complete file is left alone
  CloseWindow();
  const auto lines = SplitLinesCr(Cfg());
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[10], "-1");
  EXPECT_EQ(lines[2], "0");
  EXPECT_EQ(lines[3], "1");
}

TEST_F(SettingsWindowTest, AnUnwritableProgramFolderStillStartsAndCloses) {
  // A file where the folder should be: nothing can be written below it,
  // whoever runs the test.
  std::filesystem::remove_all(ProgramFolder());
  WriteFileAt("program", "not a folder");
  OpenWindow();
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Title, "Error");
  EXPECT_NE(dialogs.Messages[0].Text.find("ksgrab.cfg"), std::string::npos);
  EXPECT_NE(dialogs.Messages[0].Text.find("cache"), std::string::npos);
  CloseWindow();
  ASSERT_EQ(dialogs.Messages.size(), 2u);
  EXPECT_NE(dialogs.Messages[1].Text.find("igntypes.ini"), std::string::npos);
  EXPECT_NE(dialogs.Messages[1].Text.find("ksgrab.cfg"), std::string::npos);
}

}  // namespace
}  // namespace kestrelin
