// Renders the documentation's pictures of the real window into the folder
// KESTRELIN_SCREENSHOTS names: idle with the defaults, during a crawl,
// after a crawl with a red failed line, and the File tab. A program of its
// own, not part of the test suite: scripts/screenshots builds it and runs it
// under Xvfb.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "engine/text_lines.h"
#include "tests/support/test_server.h"
#include "tests/ui/ui_test_support.h"
#include "ui/folder_list.h"

namespace kestrelin {
namespace {

class Screenshots : public test::MainWindowTest {
 protected:
  void SetUp() override {
    const char* folder = std::getenv("KESTRELIN_SCREENSHOTS");
    ASSERT_TRUE(folder && *folder) << "set KESTRELIN_SCREENSHOTS to a folder";
    out_ = folder;
    MainWindowTest::SetUp();
    for (const char* folder : {"Sites", "Documents", "Downloads"})
      std::filesystem::create_directories(SandboxPath("home/") + folder);
    server.ServeFolder(SandboxPath("site"));
    std::string page = "<html><img src=\"logo.png\"><a href=\"missing.pdf\">m</a>";
    for (int i = 0; i < 40; ++i) {
      const std::string name = "docs/part" + std::to_string(i) + ".html";
      page += "<a href=\"" + name + "\">p</a>";
      server.Declare("/guide/" + name, test::DeclaredResponse{.Body = "<html>part</html>", .DelayMs = 40});
    }
    WriteFileAt("site/guide/index.html", page + "</html>");
    WriteFileAt("site/guide/logo.png", "PNG");
  }
  void TearDown() override {
    if (out_.empty()) return;  // SetUp stopped before the sandbox
    MainWindowTest::TearDown();
    cache.reset();
  }

  void Save(const char* name) {
    QCoreApplication::processEvents();
    const QPixmap picture = window_->grab();
    ASSERT_TRUE(picture.save(QString::fromStdString(out_ + "/" + name)));
  }

  std::string out_;
  test::TestServer server;
};

TEST_F(Screenshots, OfTheMainWindow) {
  OpenWindow();
  window_->resize(900, 640);
  Find<FolderList>("Dir1")->SetPath(SandboxPath("home/Sites"));
  Save("screenshot-idle.png");

  const std::string url = server.BaseUrl() + "/guide/index.html";
  Find<QLineEdit>("txtURL")->setText(QString::fromStdString(url));
  bool taken = false;
  auto* timer = new QTimer(window_.get());
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [&] {
    if (taken || window_->LineCount() < 12) return;
    taken = true;
    Save("screenshot-crawling.png");
  });
  timer->start();
  window_->cmdDownload_Click();
  timer->stop();
  EXPECT_TRUE(taken);
  // After the crawl, with the red failed line in view.
  auto* list = window_->findChild<QListWidget*>("lstProgress");
  for (int i = 0; i < list->count(); ++i)
    if (!window_->LineKey(i + 1).empty())
      list->scrollToItem(list->item(i), QAbstractItemView::PositionAtCenter);
  Save("screenshot.png");

  Find<QCheckBox>("chkLimitSize")->setChecked(true);
  Find<QCheckBox>("chkNoDownload")->setChecked(true);
  Find<QTabWidget>("SSTab")->setCurrentIndex(1);
  Save("screenshot-file-tab.png");
}

}  // namespace
}  // namespace kestrelin
