// The main window's controls, design defaults and option reactions.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include "tests/ui/ui_test_support.h"

namespace kestrelin {
namespace {

class FrmMainTest : public test::MainWindowTest {
 protected:
  bool DownloadAvailable() { return Find<QPushButton>("cmdDownload")->isEnabled(); }
};

TEST_F(FrmMainTest, EveryOptionHasItsCaptionToolTipAndDefault) {
  OpenWindow();
  const struct { const char* name; const char* caption; const char* tip; bool checked; } boxes[] = {
      {"chkRipPageOnly", "Only download given URL",
       "Don't follow links in the given page and automatically download those pages.", true},
      {"chkNoGoUp", "Don't download up levels",
       "This option prevents downloading from folders higher up than the one in the URL.", true},
      {"chkNoValidate", "Validate good downloads", "Display all successful downloads.", true},
      {"chkListFailed", "Only list failed downloads",
       "Removes all items on the list besides those that failed when downloading is complete.",
       false},
      {"chkHideDLing", "Hide when downloading",
       "Minimize to the taskbar when downloading.  On completion, it will reappear.", false},
      {"chkTxtOutput", "Write failed downloads to file",
       "Save a list of all failed downloads to a text file on completion.", true},
      {"chkDecodeName", "Decode URL file names",
       "This option makes Kestrelin decode URL information to the appropriate characters on "
       "completion.  I.E. \"%20\" becomes a space, etc.", false},
      {"chkFollowExternal", "Download external files",
       "This option lets Kestrelin download files not hosted on the URL's provider.  NOTE:  "
       "Webpages from external links will not be followed.", false},
      {"chkNoDownload", "Ignore certain file types",
       "Does not download certain file types specified.", false},
      {"chkOnlyDownload", "Only get certain file types",
       "Only download certain file types specified.", false},
      {"chkLimitSize", "Limit download file size",
       "Sets a maximum file size limit for all files to be downloaded.  Any file larger will not "
       "be downloaded.", false},
      {"chkDownloadUnknown", "Get files of unknown size",
       "If Kestrelin cannot determine the size of a file, download it anyway.", false},
      {"chkCompletePages", "Get everything pages need",
       "Also downloads the style sheets, pictures and fonts that pages use, including those "
       "named inside style sheets, and follows links to folders.", false},
      {"chkOfflineLinks", "Make links work offline",
       "On completion, changes the links in downloaded pages and style sheets so that they lead "
       "to the downloaded files, and to the web for anything not downloaded.", false},
  };
  for (const auto& b : boxes) {
    auto* box = Find<QCheckBox>(b.name);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), b.caption);
    EXPECT_EQ(box->toolTip().toStdString(), b.tip);
    EXPECT_EQ(box->isChecked(), b.checked) << b.name;
  }
  const struct { const char* name; const char* text; } captions[] = {
      {"Label1", "Website URL:"},          {"Label2", "Save files to:"},
      {"cmdHelp", "?"},                    {"cmdNewDir", "Create New Folder"},
      {"cmdDownload", "Download Files"},   {"cmdStop", "Stop Download"},
      {"cmdSetIgnore", "Set File Types"},  {"txtURL", ""},
      {"txtSize", "1"},                    {"lblCreated", "Created by"},
      {"lblAbout",
       "Simply put the site URL in the textbox above and click \"Download Files\" to download "
       "files from that site to a folder on your computer, while preserving the file structure "
       "of the website when it completes downloading."},
  };
  for (const auto& c : captions)
    EXPECT_EQ(Find<QWidget>(c.name)->property("text").toString().toStdString(), c.text) << c.name;
  for (const char* disabled :
       {"cmdSetIgnore", "cmdSetExclusive", "txtSize", "cmbSize", "chkDownloadUnknown"})
    EXPECT_FALSE(Enabled(disabled)) << disabled;
  EXPECT_EQ(window_->windowTitle(), "Kestrelin");
  EXPECT_EQ(Find<QPushButton>("cmdHelp")->toolTip(), "Open Help File");
  EXPECT_TRUE(Find<QPushButton>("cmdHelp")->font().bold());
  EXPECT_EQ(Find<QGroupBox>("Frame1")->title(), "Options");
  auto* tabs = Find<QTabWidget>("SSTab");
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "Download");
  EXPECT_EQ(tabs->tabText(1), "File");
  EXPECT_EQ(tabs->tabText(2), "Offline");
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_FALSE(Find<QPushButton>("cmdStop")->isVisible());
  EXPECT_TRUE(Find<QPushButton>("cmdDownload")->isVisible());
  EXPECT_EQ(Find<QPushButton>("cmdDownload")->geometry(), Find<QPushButton>("cmdStop")->geometry());
  EXPECT_EQ(Find<QLineEdit>("txtSize")->maxLength(), 4);
  auto* unit = Find<QComboBox>("cmbSize");
  ASSERT_EQ(unit->count(), 2);
  EXPECT_EQ(unit->itemText(0), "kb");
  EXPECT_EQ(unit->itemText(1), "Mb");
  EXPECT_EQ(unit->currentIndex(), 0);
  EXPECT_EQ(Find<QListWidget>("lstProgress")->count(), 0);
  EXPECT_NE(Find<QProgressBar>("pBar"), nullptr);
  auto* menu = Find<QMenu>("lstMenu");
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[0]->text(), "Connect to file...");
  EXPECT_EQ(menu->actions()[1]->text(), "Open web page...");
}

TEST_F(FrmMainTest, VersionAndLinksAreFilledAtStartUp) {
  OpenWindow();
  EXPECT_EQ(Find<QLabel>("lblVersion")->text().toStdString(),
            "Kestrelin v" + std::to_string(KESTRELIN_VERSION_MAJOR) + "." +
                std::to_string(KESTRELIN_VERSION_MINOR) + std::to_string(KESTRELIN_VERSION_PATCH));
  EXPECT_TRUE(Find<QLabel>("lblCreator")->toolTip().startsWith("click to e-mail me at:  "));
  window_->lblCreator_Click();
  ASSERT_EQ(dialogs.Opened.size(), 1u);
  EXPECT_EQ(dialogs.Opened[0].rfind("mailto:", 0), 0u);
  window_->cmdHelp_Click();
  EXPECT_EQ(dialogs.Opened.back(), SandboxPath("program/help.html"));
}

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
  size->setText("12");
  unit->setCurrentIndex(1);
  unknown->setChecked(true);
  limit->click();
  EXPECT_FALSE(size->isEnabled() || unit->isEnabled() || unknown->isEnabled());
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
  EXPECT_EQ(dialogs.Messages[0].Text,
            "Warning:  I do not recommend using this option.\r\n"
            "Using it will increase the download time required.\r\n"
            "All externally linked files (determined with a different\r\n"
            "domain name than the given URL) will be put into a folder\r\n"
            "labeled \"external\" on completion, and any external file\r\n"
            "links that have the same names will be overwritten.");
  EXPECT_FALSE(external->isChecked());
  EXPECT_EQ(dialogs.Messages.size(), 1u);  // clearing again asks nothing
  external->click();  // Ok this time
  EXPECT_TRUE(external->isChecked());
  EXPECT_EQ(dialogs.Messages.size(), 2u);
  external->click();  // clearing by hand never asks
  EXPECT_EQ(dialogs.Messages.size(), 2u);
}

TEST_F(FrmMainTest, AddressAndSizeChecksMarkTheFieldsAndDecideDownload) {
  OpenWindow();
  EXPECT_TRUE(IsRed("txtURL"));  // empty at start-up
  EXPECT_FALSE(DownloadAvailable());
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
    EXPECT_EQ(DownloadAvailable(), r.download);
  }
}

TEST_F(FrmMainTest, DownloadRefusesASizeThatIsNoNumber) {
  OpenWindow();
  Find<QLineEdit>("txtURL")->setText("http://127.0.0.1:1/");
  Find<QCheckBox>("chkLimitSize")->click();
  Find<QLineEdit>("txtSize")->setText("ab");
  window_->cmdDownload_Click();
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_NE(dialogs.Messages[0].Text.find("not a number"), std::string::npos);
  EXPECT_EQ(window_->LineCount(), 0);  // no crawl ran
  EXPECT_TRUE(Find<QPushButton>("cmdDownload")->isVisible());
}

TEST_F(FrmMainTest, OptionsAreReadInTheirOrderAndUnknownSizeIsNotAmongThem) {
  OpenWindow();
  Find<QCheckBox>("chkDownloadUnknown")->setChecked(true);
  Find<QCheckBox>("chkHideDLing")->setChecked(true);
  Find<QCheckBox>("chkRipPageOnly")->setChecked(false);
  const CrawlOptions o = window_->ReadOptions();
  EXPECT_EQ(o.RipPageOnly, 0);
  EXPECT_EQ(o.HideDLing, 1);
  EXPECT_EQ(o.NoGoUp, 1);
  EXPECT_EQ(o.TxtOutput, 1);
  EXPECT_EQ(o.LimitSize, 0);
  EXPECT_EQ(window_->ReadSizeLimit(), 0);
  Find<QCheckBox>("chkLimitSize")->setChecked(true);
  Find<QLineEdit>("txtSize")->setText("1.5");
  Find<QComboBox>("cmbSize")->setCurrentIndex(1);
  EXPECT_EQ(window_->ReadSizeLimit(), 1572864);
}

}  // namespace
}  // namespace kestrelin
