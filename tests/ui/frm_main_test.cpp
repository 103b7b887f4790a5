// The main window's controls and option reactions.

#include "platform/working_folder_lock.h"
#include "tests/ui/ui_test_support.h"

namespace kestrelin {
namespace {

using FrmMainTest = test::MainWindowTest;

TEST_F(FrmMainTest, FileTypeModesExcludeEachOther) {
  OpenWindow();
  Find<QCheckBox>("chkOnlyDownload")->setChecked(true);
  EXPECT_TRUE(Enabled("cmdSetExclusive"));
  // After each click: ignore checked, only checked, and so their buttons.
  const struct { const char* click; bool ignore, only; } steps[] = {
      {"chkNoDownload", true, false},
      {"chkOnlyDownload", false, true},
      {"chkOnlyDownload", false, false},  // both clear is allowed
  };
  for (const auto& s : steps) {
    Find<QCheckBox>(s.click)->click();
    EXPECT_EQ(Checked("chkNoDownload"), s.ignore) << s.click;
    EXPECT_EQ(Checked("chkOnlyDownload"), s.only) << s.click;
    EXPECT_EQ(Enabled("cmdSetIgnore"), s.ignore) << s.click;
    EXPECT_EQ(Enabled("cmdSetExclusive"), s.only) << s.click;
  }
}

TEST_F(FrmMainTest, SizeLimitEnablesItsControlsAndKeepsTheirValues) {
  OpenWindow();
  auto* limit = Find<QCheckBox>("chkLimitSize");
  auto* size = Find<QLineEdit>("txtSize");
  auto* unit = Find<QComboBox>("cmbSize");
  auto* unknown = Find<QCheckBox>("chkDownloadUnknown");
  limit->click();
  EXPECT_TRUE(size->isEnabled() && unit->isEnabled() && unknown->isEnabled());
  size->clear();
  for (const char c : std::string("123456")) size->insert(QString(c));  // typed
  EXPECT_EQ(size->text(), "1234");
  size->setText("12");
  unit->setCurrentIndex(1);
  unknown->setChecked(true);
  EXPECT_EQ(window_->ReadSizeLimit(), 12 * 1048576);  // the crawl's limit, in bytes
  limit->click();
  EXPECT_FALSE(size->isEnabled() || unit->isEnabled() || unknown->isEnabled());
  EXPECT_EQ(window_->ReadSizeLimit(), 0);
  limit->click();
  EXPECT_EQ(size->text(), "12");
  EXPECT_EQ(unit->currentIndex(), 1);
  EXPECT_TRUE(unknown->isChecked());
}

TEST_F(FrmMainTest, ExternalFilesWarningAsksAndCancelClearsTheBox) {
  OpenWindow();
  auto* external = Find<QCheckBox>("chkFollowExternal");
  dialogs.Answers = {MessageAnswer::Cancel};
  external->click();
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Title, "Warning!");
  EXPECT_EQ(dialogs.Messages[0].Icon, MessageIcon::Warning);
  EXPECT_EQ(dialogs.Messages[0].Buttons, MessageButtons::OkCancel);
  EXPECT_FALSE(external->isChecked());
  external->click();  // Ok this time
  EXPECT_TRUE(external->isChecked());
  EXPECT_EQ(dialogs.Messages.size(), 2u);
  external->click();  // clearing by hand never asks
  EXPECT_EQ(dialogs.Messages.size(), 2u);
}

TEST_F(FrmMainTest, AddressAndSizeChecksMarkTheFieldsAndDecideDownload) {
  OpenWindow();
  EXPECT_TRUE(IsRed("txtURL"));  // empty at start-up
  EXPECT_FALSE(Enabled("cmdDownload"));
  // The window's wiring of the address and size rules; the rules themselves
  // are AddressCheck and SizeCheck in text_rules_test. Each row sets the
  // limit box, the size and the address.
  const struct { const char* url; bool limit; const char* size; bool urlRed, sizeRed, download; }
      rows[] = {
          {"http://example.com", false, "1", true, false, false},
          {"http://example.com/", false, "1", false, false, true},
          {"http://example.com/", true, "12kb", false, true, false},
          {"http://example.com/", false, "12kb", false, true, true},  // a disabled size: ignored
          {"http://example.com/", true, "1.5", false, false, true},
          {"http://example.com", true, "1.5", true, false, false},  // the address still counts
      };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.url) + " size " + r.size + (r.limit ? " limited" : ""));
    Find<QCheckBox>("chkLimitSize")->setChecked(r.limit);
    Find<QLineEdit>("txtSize")->setText(r.size);
    Find<QLineEdit>("txtURL")->setText(r.url);
    EXPECT_EQ(IsRed("txtURL"), r.urlRed);
    if (r.limit) { EXPECT_EQ(IsRed("txtSize"), r.sizeRed); }
    EXPECT_EQ(Enabled("cmdDownload"), r.download);
  }
}

// Download refuses to start, with a message, while the size is no number
// and while another crawl (a window, the tool) holds the working folder.
TEST_F(FrmMainTest, DownloadRefusesASizeThatIsNoNumberAndABusyWorkingFolder) {
  OpenWindow();
  Find<QLineEdit>("txtURL")->setText("http://127.0.0.1:1/");
  Find<QCheckBox>("chkLimitSize")->click();
  Find<QLineEdit>("txtSize")->setText("ab");
  window_->cmdDownload_Click();
  Find<QLineEdit>("txtSize")->setText("1");
  const auto otherCrawl = WorkingFolderLock::TryTake(ProgramFolder());
  ASSERT_NE(otherCrawl, nullptr);
  window_->cmdDownload_Click();
  ASSERT_EQ(dialogs.Messages.size(), 2u);
  ExpectMessage(0, "Kestrelin", "not a number");
  ExpectMessage(1, "Kestrelin", "Another crawl is using the working folder");
  EXPECT_EQ(window_->LineCount(), 0);  // no crawl ran
}

}  // namespace
}  // namespace kestrelin
