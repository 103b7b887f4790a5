// Crawls started from the window against the local test server: the
// Download sequence, Stop from the window and from the tray menu, closing
// during a crawl, and the progress list's pop-up commands.

#include <QElapsedTimer>
#include <QMenu>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "tests/support/test_server.h"
#include "tests/ui/ui_test_support.h"
#include "ui/frm_taskbar.h"

namespace kestrelin {
namespace {

class CrawlWindowTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    std::filesystem::create_directories(SandboxPath("dest"));
    server.ServeFolder(SandboxPath("site"));
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    cache.reset();  // its open connections would hold the server's shut-down
  }

  frmMain& Prepared(const std::string& path) {
    OpenWindow();
    Find<FolderList>("Dir1")->SetPath(SandboxPath("dest"));
    Find<QLineEdit>("txtURL")->setText(QString::fromStdString(server.BaseUrl() + path + "  "));
    return *window_;
  }

  // A page linking `count` slow files, so that a crawl lasts long enough to
  // be stopped.
  void SlowSite(int count) {
    std::string page = "<html>";
    for (int i = 0; i < count; ++i) {
      const std::string name = "f" + std::to_string(i) + ".txt";
      page += "<a href=\"" + name + "\">x</a>";
      server.Declare("/s/" + name, {.Body = "file " + std::to_string(i),
                                    .ContentType = "text/plain", .DelayMs = 25});
    }
    WriteFileAt("site/s/index.html", page + "</html>");
  }

  // Runs `step` on every timer tick of the crawl until it returns true.
  QTimer* DuringCrawl(std::function<bool()> step) {
    auto* timer = new QTimer(window_.get());
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, step] { if (step()) timer->stop(); });
    timer->start();
    return timer;
  }

  // Crawls a page of slow files and, once a file has started, runs `stop`
  // until it returns true; the crawl must then end with the stop line.
  void CrawlAndStop(int files, bool hide, const std::function<bool(frmMain&)>& stop) {
    SlowSite(files);
    frmMain& w = Prepared("/s/index.html");
    Find<QCheckBox>("chkHideDLing")->setChecked(hide);
    if (hide) w.showMaximized();  // and it must come back maximised
    bool stopped = false;
    QTimer* timer = DuringCrawl([&] { return AFileStarted() && (stopped = stop(w)); });
    w.cmdDownload_Click();
    delete timer;
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(HasLineStarting("Downloading stopped at command"));
  }

  bool HasLineStarting(const std::string& prefix) {
    const auto& lines = window_->Log().Lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const auto& line) { return StartsWith(line.Text, prefix); });
  }
  // A file's line reads "Downloading ..." while it loads, "Downloaded ..."
  // once it is in.
  bool AFileStarted() { return HasLineStarting("Downloading ") || HasLineStarting("Downloaded "); }
  long Completions() {
    return std::count_if(dialogs.Messages.begin(), dialogs.Messages.end(), [](const auto& m) {
      return StartsWith(m.Text, "Completed downloading.\r\n\r\nDuration: ");
    });
  }

  // After a crawl: the Download button back, the panel usable, no stop pending.
  void ExpectIdle() {
    EXPECT_TRUE(Find<QPushButton>("cmdDownload")->isVisible());
    EXPECT_TRUE(Find<QPushButton>("cmdDownload")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("cmdStop")->isVisible());
    EXPECT_TRUE(Find<QWidget>("picContain")->isEnabled());
    EXPECT_FALSE(window_->Crawling());
    EXPECT_EQ(window_->State().StopDownload, 0);
  }

  test::TestServer server;
};

// The window stays live while a slow file comes down: the longest silence
// between two ticks of the crawl-time timer stays short, where without
// events served inside the transfer it would be the whole 1.2 s wait.
TEST_F(CrawlWindowTest, DownloadCopiesTheSiteEndsWithTheDurationBoxAndKeysTheFailedLine) {
  WriteFileAt("site/d/index.html",
              "<html><img src=\"img/a.gif\"><img src=\"gone.gif\"><img src=\"slow.gif\"></html>");
  WriteFileAt("site/d/img/a.gif", "GIF89a");
  server.Declare("/d/slow.gif", {.Body = "slow file", .ContentType = "image/gif", .DelayMs = 1200});
  frmMain& w = Prepared("/d/index.html");
  QElapsedTimer sinceTick;
  qint64 longestGap = 0;
  QTimer* ticks = DuringCrawl([&] {
    if (sinceTick.isValid()) longestGap = std::max(longestGap, sinceTick.elapsed());
    sinceTick.start();
    return false;
  });
  w.cmdDownload_Click();
  delete ticks;

  ASSERT_EQ(Completions(), 1);
  EXPECT_LT(longestGap, 600);
  EXPECT_EQ(dialogs.Messages.back().Title, "Kestrelin");
  EXPECT_EQ(ReadFileAt("dest/d/img/a.gif"), "GIF89a");
  EXPECT_EQ(ReadFileAt("dest/d/slow.gif"), "slow file");
  EXPECT_TRUE(std::filesystem::exists(SandboxPath("dest/d/index.html")));
  ExpectIdle();
  // The bar's painting, held during the crawl, is back on, showing the end.
  auto* bar = Find<QProgressBar>("pBar");
  EXPECT_TRUE(bar->updatesEnabled());
  EXPECT_EQ(bar->value(), bar->maximum());

  // The failed file is a red line reading its failure record.
  const std::string record =
      server.BaseUrl() + "/d/gone.gif (" + server.BaseUrl() + "/d/index.html)";
  auto* list = Find<QListWidget>("lstProgress");
  ASSERT_EQ(list->count(), window_->LineCount());
  const auto found = list->findItems(QString::fromStdString(record), Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1);
  const int red = list->row(found[0]);
  EXPECT_EQ(list->item(red)->foreground().color(), QColor(255, 0, 0));
  EXPECT_EQ(window_->LineKey(red + 1), record);
  EXPECT_NE(ReadFileAt("program/fail.txt").find(record), std::string::npos);

  // The pop-up menu opens on a keyed line only, on the right button only,
  // and its commands open the file and the page of the key.
  list->setCurrentRow(red == 0 ? 1 : 0);
  ASSERT_EQ(window_->LineKey(list->currentRow() + 1), "");
  EXPECT_FALSE(window_->lstProgress_MouseUp(Qt::RightButton, QPoint(5, 5)));
  list->setCurrentRow(red);
  EXPECT_FALSE(window_->lstProgress_MouseUp(Qt::LeftButton, QPoint(5, 5)));
  EXPECT_TRUE(window_->lstProgress_MouseUp(Qt::RightButton, QPoint(5, 5)));
  Find<QMenu>("lstMenu")->hide();
  window_->mnuFile_Click();
  window_->mnuOpen_Click();
  EXPECT_EQ(dialogs.Opened, (std::vector<std::string>{server.BaseUrl() + "/d/gone.gif",
                                                       server.BaseUrl() + "/d/index.html"}));
}

TEST_F(CrawlWindowTest, StopFromTheWindowEndsTheCrawlAtTheNextFile) {
  CrawlAndStop(30, false, [&](frmMain& w) {
    w.cmdDownload_Click();  // a second start is ignored while the crawl runs
    w.cmdStop_Click();
    EXPECT_EQ(w.State().StopDownload, -1);
    EXPECT_TRUE(Find<QPushButton>("cmdDownload")->isVisible());
    EXPECT_FALSE(Find<QPushButton>("cmdDownload")->isEnabled());  // until the crawl has ended
    EXPECT_FALSE(Find<QPushButton>("cmdStop")->isVisible());
    EXPECT_FALSE(Find<QWidget>("picContain")->isEnabled());
    return true;
  });
  EXPECT_EQ(Completions(), 1);
  ExpectIdle();
  const auto copied = test::ListTree(SandboxPath("dest"));
  EXPECT_GE(copied.size(), 1u);  // what was fetched is still moved in
  EXPECT_LT(copied.size(), 31u);
}

TEST_F(CrawlWindowTest, StopFromTheTrayMenuLeavesTheButtonsAndBringsTheWindowBack) {
  CrawlAndStop(30, true, [&](frmMain& w) {
    frmTaskbar* tray = w.Taskbar();
    if (!tray) return false;
    EXPECT_EQ(tray->PMenu()->actions().size(), 1);
    EXPECT_EQ(tray->mnuStop()->text(), "&Stop Downloading");
    // Without a notification area the title carries the crawl's state.
    EXPECT_TRUE(w.windowTitle().startsWith("Kestrelin - ") ||
                QSystemTrayIcon::isSystemTrayAvailable());
    tray->mnuStop()->trigger();
    EXPECT_FALSE(Find<QPushButton>("cmdDownload")->isVisible());
    EXPECT_TRUE(Find<QPushButton>("cmdStop")->isVisible());
    return true;
  });
  EXPECT_EQ(window_->Taskbar(), nullptr);  // the tray window lives for one crawl
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->isMaximized());
  EXPECT_EQ(window_->windowTitle(), "Kestrelin");
  EXPECT_EQ(Completions(), 1);
  ExpectIdle();
}

TEST_F(CrawlWindowTest, ClosingDuringACrawlStopsItAndClosesAfterwards) {
  CrawlAndStop(20, false, [](frmMain& w) { return w.close(), true; });
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(SplitLinesCr(ReadFileAt("program/ksgrab.cfg")).size(), 15u);
}

}  // namespace
}  // namespace kestrelin
